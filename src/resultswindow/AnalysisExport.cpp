#include "resultswindow/AnalysisExport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <optional>

#include "output/AnovaFormats.h"
#include "plot/PlotFiles.h"
#include "qttext/Text.h"
#include "runtime/Cp932.h"
#include "runtime/SameFile.h"
#include "runtime/TextWriter.h"

namespace morvane {

ExportTypeError::ExportTypeError()
    : Error(Cp932FromUtf8("書き出す形式が分かりません: ファイル名の末尾を .md、.csv、.json、.png、.svg、.pdf "
                          "のどれかにしてください")) {}

ExportTypeError::ExportTypeError(ForPlot)
    : Error(Cp932FromUtf8(
          "書き出す形式が分かりません: ファイル名の末尾を .png、.svg、.pdf のどれかにしてください")) {}

QStringList ExportNameFilters() {
    return {QCoreApplication::translate("morvane::AnalysisExport", "表: マークダウン (*.md)"),
            QCoreApplication::translate("morvane::AnalysisExport", "表: CSV (*.csv)"),
            QCoreApplication::translate("morvane::AnalysisExport", "表: JSON (*.json)"),
            QCoreApplication::translate("morvane::AnalysisExport", "プロット: PNG 画像 (*.png)"),
            QCoreApplication::translate("morvane::AnalysisExport", "プロット: SVG (*.svg)"),
            QCoreApplication::translate("morvane::AnalysisExport", "プロット: PDF (*.pdf)")};
}

void ExportAnalysis(const anova::Analysis& analysis, const PrecisionCheck* precision,
                    const plot::InteractionPlotData& plot, const QString& path,
                    const OutputOptions& options) {
    const std::string file = qttext::FilePath(path);
    if (const auto type = plot::PlotFileTypeOf(path)) {
        plot::WritePlotFile(plot, *type, kExportPlotSize, file);
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    AnovaFormat format;
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown"))
        format = AnovaFormat::Markdown;
    else if (suffix == QLatin1String("csv"))
        format = AnovaFormat::Csv;
    else if (suffix == QLatin1String("json"))
        format = AnovaFormat::Json;
    else
        throw ExportTypeError();
    const std::string text = FormatAnalysis(analysis, format, options, precision);
    WriteTextFile(file, [&](TextWriter& out) { out.Write(text); });
}

}  // namespace morvane

namespace morvane {

QStringList PlotNameFilters() {
    return {QCoreApplication::translate("morvane::AnalysisExport", "PNG 画像 (*.png)"),
            QStringLiteral(u"SVG (*.svg)"), QStringLiteral(u"PDF (*.pdf)")};
}

namespace {

template <class PlotData>
void ExportPlot(const PlotData& plot, const QString& path) {
    const auto type = plot::PlotFileTypeOf(path);
    if (!type) throw ExportTypeError(ExportTypeError::ForPlot{});
    plot::WritePlotFile(plot, *type, kExportPlotSize, qttext::FilePath(path));
}

}  // namespace

void ExportQuantilePlotFile(const plot::QuantilePlotData& plot, const QString& path) {
    ExportPlot(plot, path);
}

void ExportInteractionPlotFile(const plot::InteractionPlotData& plot, const QString& path) {
    ExportPlot(plot, path);
}

bool ExportToChosenFile(const widgets::Seams& seams, QWidget* parent, widgets::OwnFiles& own, QString& name,
                        const QString& title, const QStringList& filters, const std::string& input,
                        const std::function<void(const QString& path)>& write) {
    // The input refused as soon as it is chosen, before any question of replacing it.
    const auto dialog = [&](const QString& start) {
        const std::optional<QString> chosen = seams.dialogs->SaveAs(parent, title, start, filters);
        if (chosen && !chosen->isEmpty()) RefuseInputAsOutput(qttext::FilePath(*chosen), {input});
        return chosen;
    };
    const auto chosen = widgets::ChooseFileToWrite(*seams.messages, parent, own, dialog, name);
    if (!chosen) return false;  // cancelled: nothing is written
    name = *chosen;
    write(*chosen);
    own.Add(*chosen);
    return true;
}

std::unique_ptr<QMimeData> SummaryTableMime(const anova::Analysis& analysis, const ApaOptions& options) {
    auto mime = std::make_unique<QMimeData>();
    mime->setHtml(QString::fromStdString(ApaSummaryHtml(analysis, options)));
    const QByteArray rtf = QByteArray::fromStdString(ApaSummaryRtf(analysis, options));
    mime->setData(QStringLiteral("text/rtf"), rtf);
    mime->setData(QStringLiteral("application/rtf"), rtf);
    mime->setText(QString::fromStdString(ApaSummaryTabs(analysis, options)));
    return mime;
}

QString SentencesText(const anova::Analysis& analysis, const ApaOptions& options) {
    QStringList lines;
    for (const std::string& sentence : NamedSentences(analysis, options))
        lines.append(QString::fromStdString(sentence));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace morvane
