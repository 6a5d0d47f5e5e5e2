#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the build tree,
# unpacked with dpkg -x, and run from the unpacked folder.
#
#   package-test.sh build  BUILD WORK   make the package, check it, unpack it into WORK/root
#   package-test.sh report WORK RESULTS VERSION
#                                       the unpacked programs' version and usage, and the
#                                       unpacked tool's results of the unpacked worked example
#   package-test.sh print  WORK         the unpacked tool prints one page on the private CUPS server
#
# Exit status 77 (skipped) when dpkg-deb is missing, or for print without a
# private CUPS server (scripts/with-private-cups).
set -uo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*" >&2; exit 77; }

command -v dpkg-deb >/dev/null || skip "dpkg-deb is missing (scripts/setup installs dpkg-dev)"

step=$1
case $step in
build)
    build=$2 work=$3
    rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; }
    debs=("$work"/pmorvane_*.deb)
    [[ -f ${debs[0]} && ${#debs[@]} == 1 ]] || fail "not one package in $work: ${debs[*]}"
    deb=${debs[0]}
    echo "package: $(basename "$deb")"
    dpkg-deb -f "$deb" Package Version Architecture Depends
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in libc6 libstdc++6; do
        [[ $depends == *"$needed "* ]] || fail "Depends lacks $needed: $depends"
    done
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg -x failed"
    root=$work/root
    for file in usr/bin/morvane usr/share/man/man1/morvane.1.gz usr/share/pmorvane/verify/index \
        usr/share/doc/pmorvane/examples/worked-example.dat usr/share/doc/pmorvane/copyright \
        usr/share/doc/pmorvane/changelog.gz; do
        [[ -f $root/$file ]] || fail "the package has no $file"
    done
    if [[ -f $root/usr/bin/PMorvane ]]; then
        for file in usr/libexec/pmorvane/morvane-print usr/libexec/pmorvane/morvane-plot \
            usr/share/applications/org.pmorvane.pmorvane.desktop \
            usr/share/metainfo/org.pmorvane.pmorvane.metainfo.xml usr/share/icons/hicolor/scalable/apps/pmorvane.svg \
            usr/share/man/man1/PMorvane.1.gz; do
            [[ -f $root/$file ]] || fail "the package has no $file"
        done
        for needed in libqt6widgets6 libqt6printsupport6 libqt6svg6 fonts-ipafont-gothic fonts-ipafont-mincho \
            qt6-translations-l10n; do
            [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
        done
        [[ -f $root/usr/share/icons/hicolor/256x256/apps/pmorvane.png ]] ||
            echo "note: no 256 px icon (rsvg-convert was missing at build time)"
        if command -v desktop-file-validate >/dev/null; then
            desktop=$(desktop-file-validate "$root/usr/share/applications/org.pmorvane.pmorvane.desktop" 2>&1) ||
                fail "desktop-file-validate found errors: $desktop"
            [[ -z $desktop ]] || fail "desktop-file-validate hints: $desktop"
        else
            echo "note: desktop-file-validate is not installed; the desktop entry is not validated"
        fi
        if command -v appstreamcli >/dev/null; then
            # Its status is not 0 for warnings too: the errors are the lines with E:.
            metainfo=$(appstreamcli validate --no-net --no-color \
                "$root/usr/share/metainfo/org.pmorvane.pmorvane.metainfo.xml" 2>&1)
            echo "$metainfo"
            if grep -q '^E:' <<<"$metainfo"; then fail "appstreamcli found errors in the metainfo"; fi
            if grep -q 'cid-' <<<"$metainfo"; then fail "appstreamcli questions the component id"; fi
        else
            echo "note: appstreamcli is not installed; the metainfo is not validated"
        fi
    fi
    for manual in "$root"/usr/share/man/man1/*.1.gz; do
        warnings=$(zcat "$manual" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1) ||
            fail "groff could not read $manual"
        [[ -z $warnings ]] || fail "$(basename "$manual"): $warnings"
    done
    if command -v lintian >/dev/null; then
        lintian --tag-display-limit 0 "$deb" 2>/dev/null | tee "$work/lintian.txt"
        if grep -q '^E:' "$work/lintian.txt"; then fail "lintian found errors"; fi
        echo "lintian: $(grep -c '^W:' "$work/lintian.txt") warnings, no errors"
    else
        echo "note: lintian is not installed; the package is not checked"
    fi
    ;;
report)
    root=$2/root expected=$3 version=$4
    tool=$root/usr/bin/morvane
    [[ -x $tool ]] || fail "no unpacked tool at $tool (the package_build test makes it)"
    [[ $("$tool" --version) == "morvane $version" ]] || fail "morvane --version: $("$tool" --version 2>&1)"
    usage=$("$tool" --help 2>&1 >/dev/null) || fail "morvane --help failed"
    [[ -z $usage && $("$tool" --help) == "usage: morvane "*"--version" ]] ||
        fail "morvane --help gives no usage on standard output alone"
    out=$(mktemp -d) && trap 'rm -rf "$out"' EXIT
    (cd "$out" && "$tool" report "$root/usr/share/doc/pmorvane/examples/worked-example.dat" results.txt) ||
        fail "the unpacked morvane report failed"
    cmp "$out/results.txt" "$expected" || fail "the unpacked tool's results differ from $expected"
    "$tool" report "$root/usr/share/doc/pmorvane/examples/worked-example.dat" | cmp - "$expected" ||
        fail "the unpacked tool's results on standard output differ"
    [[ ! -e $root/usr/share/pmorvane/verify/r-sets.R ]] || fail "the package holds the R script of the sets"
    "$tool" verify >"$out/verify.txt" || fail "the unpacked morvane verify found figures that disagree"
    if [[ -x $root/usr/bin/PMorvane ]]; then
        # Without a display: the version is printed before any window is made.
        said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 \
            "$root/usr/bin/PMorvane" --version) || fail "PMorvane --version failed"
        [[ $said == "PMorvane $version" ]] || fail "PMorvane --version says '$said'"
    fi
    echo "the unpacked morvane report gives the expected results, byte for byte"
    ;;
print)
    root=$2/root
    tool=$root/usr/bin/morvane
    [[ -x $root/usr/libexec/pmorvane/morvane-print ]] || fail "no unpacked morvane-print"
    [[ -n ${CUPS_SERVER:-} && -d ${MORVANE_CUPS_PDF_DIR:-} ]] ||
        skip "no private CUPS server (run the suite through scripts/with-private-cups)"
    before=$(ls "$MORVANE_CUPS_PDF_DIR")
    # From a folder with no morvane-print, so that the installed one is the one found.
    (cd / && "$tool" print "$root/usr/share/doc/pmorvane/examples/worked-example.dat") ||
        fail "the unpacked morvane print failed"
    for _ in $(seq 300); do
        new=$(comm -13 <(echo "$before") <(ls "$MORVANE_CUPS_PDF_DIR") | grep '\.pdf$' | head -1)
        [[ -n $new && -z $(lpstat -o 2>/dev/null) ]] && break
        new=""
        sleep 0.1
    done
    [[ -n $new ]] || fail "no PDF arrived from the print server in 30 s"
    pages=$(pdfinfo "$MORVANE_CUPS_PDF_DIR/$new" | awk '/^Pages:/ {print $2}')
    [[ $pages == 1 ]] || fail "the worked example printed on '$pages' pages, not one"
    echo "the unpacked morvane print printed one page ($new)"
    ;;
*)
    fail "unknown step $step"
    ;;
esac
exit 0
