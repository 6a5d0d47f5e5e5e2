#include "levelswindow/CsvRolesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "exchange/ExchangeMessages.h"
#include "runtime/Cp932.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"
#include "widgets/OffThread.h"

namespace morvane {
namespace {

constexpr int kNameColumn = 0, kRoleColumn = 1;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A column as the list shows it: its name, or its place where it has none (R's row names).
QString ColumnText(const std::string& utf8, int place) {
    return utf8.empty()
               ? QCoreApplication::translate("morvane::CsvRolesDialog", "(名前なし: %1 列目)").arg(place + 1)
               : Text(utf8);
}

QString SeparatorName(char separator) {
    if (separator == ';') return QCoreApplication::translate("morvane::CsvRolesDialog", "セミコロン");
    if (separator == '\t') return QCoreApplication::translate("morvane::CsvRolesDialog", "タブ");
    return QCoreApplication::translate("morvane::CsvRolesDialog", "カンマ");
}

QComboBox* RoleCombo(QWidget* parent, ColumnRole role) {
    auto* combo = new QComboBox(parent);
    combo->addItem(QCoreApplication::translate("morvane::CsvRolesDialog", "使わない"),
                   static_cast<int>(ColumnRole::None));
    combo->addItem(QCoreApplication::translate("morvane::CsvRolesDialog", "被験者"),
                   static_cast<int>(ColumnRole::Subject));
    combo->addItem(QCoreApplication::translate("morvane::CsvRolesDialog", "得点"),
                   static_cast<int>(ColumnRole::Score));
    combo->addItem(QCoreApplication::translate("morvane::CsvRolesDialog", "被験者内要因"),
                   static_cast<int>(ColumnRole::Within));
    combo->addItem(QCoreApplication::translate("morvane::CsvRolesDialog", "被験者間要因"),
                   static_cast<int>(ColumnRole::Between));
    combo->setCurrentIndex(combo->findData(static_cast<int>(role)));
    return combo;
}

}  // namespace

CsvRolesDialog::CsvRolesDialog(QWidget* parent, const widgets::Seams& seams, std::string path,
                               std::string bytes, const RoleGuess& guess)
    : QDialog(parent),
      seams_(seams),
      path_(std::move(path)),
      bytes_(std::make_shared<const std::string>(std::move(bytes))) {
    setObjectName(QStringLiteral("CsvRolesDialog"));
    setWindowTitle(tr("CSV の読み込み: %1").arg(QFileInfo(QFile::decodeName(path_.c_str())).fileName()));
    setFont(widgets::FormWindow::WindowFont());
    resize(860, 620);
    auto* layout = new QVBoxLayout(this);

    auto* reading = new QHBoxLayout;
    separator_ = new QComboBox(this);
    separator_->setObjectName(QStringLiteral("SeparatorChoice"));
    separator_->addItem(tr("自動"), 0);
    separator_->addItem(tr("カンマ (,)"), int{','});
    separator_->addItem(tr("セミコロン (;)"), int{';'});
    separator_->addItem(tr("タブ"), int{'\t'});
    encoding_ = new QComboBox(this);
    encoding_->setObjectName(QStringLiteral("EncodingChoice"));
    encoding_->addItem(tr("自動"), static_cast<int>(CsvEncoding::Detect));
    encoding_->addItem(QStringLiteral("UTF-8"), static_cast<int>(CsvEncoding::Utf8));
    encoding_->addItem(QStringLiteral("Shift_JIS (CP932)"), static_cast<int>(CsvEncoding::Cp932));
    headerLine_ = new QSpinBox(this);
    headerLine_->setObjectName(QStringLiteral("HeaderLineChoice"));
    headerLine_->setRange(1, 9999);
    headerLine_->setToolTip(tr("列の名前が並ぶ行。その上の行 (表題など) は読みません"));
    decimalComma_ = new QCheckBox(tr("小数点はカンマ(&D)"), this);
    decimalComma_->setObjectName(QStringLiteral("DecimalCommaCheck"));
    auto* separatorLabel = new QLabel(tr("区切り文字(&S):"), this);
    separatorLabel->setBuddy(separator_);
    auto* encodingLabel = new QLabel(tr("文字コード(&E):"), this);
    encodingLabel->setBuddy(encoding_);
    auto* headerLabel = new QLabel(tr("見出しの行(&H):"), this);
    headerLabel->setBuddy(headerLine_);
    for (QWidget* w : {static_cast<QWidget*>(separatorLabel), static_cast<QWidget*>(separator_),
                       static_cast<QWidget*>(encodingLabel), static_cast<QWidget*>(encoding_),
                       static_cast<QWidget*>(headerLabel), static_cast<QWidget*>(headerLine_),
                       static_cast<QWidget*>(decimalComma_)})
        reading->addWidget(w);
    reading->addStretch();
    layout->addLayout(reading);

    layout->addWidget(new QLabel(tr("先頭の行:"), this));
    preview_ = new QTableWidget(this);
    preview_->setObjectName(QStringLiteral("Preview"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(preview_, 2);

    layout->addWidget(new QLabel(
        tr("列の役割 (要因は上から順に分析の表に並びます。順番は 上へ / 下へ で変えます):"), this));
    auto* rolesRow = new QHBoxLayout;
    roles_ = new QTableWidget(0, 2, this);
    roles_->setObjectName(QStringLiteral("Roles"));
    roles_->setHorizontalHeaderLabels({tr("列"), tr("役割")});
    roles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    roles_->setSelectionBehavior(QAbstractItemView::SelectRows);
    roles_->setSelectionMode(QAbstractItemView::SingleSelection);
    roles_->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    roles_->horizontalHeader()->setSectionResizeMode(kRoleColumn, QHeaderView::ResizeToContents);
    rolesRow->addWidget(roles_, 1);
    auto* moves = new QVBoxLayout;
    auto* up = new QPushButton(tr("上へ(&U)"), this);
    up->setObjectName(QStringLiteral("UpButton"));
    auto* down = new QPushButton(tr("下へ(&W)"), this);
    down->setObjectName(QStringLiteral("DownButton"));
    moves->addWidget(up);
    moves->addWidget(down);
    moves->addStretch();
    rolesRow->addLayout(moves);
    layout->addLayout(rolesRow, 2);

    dataWindow_ = new QCheckBox(
        tr("データ ウィンドウで開く (被験者内要因 2 つ、被験者間要因なし、欠けも平均もないデータ)"), this);
    dataWindow_->setObjectName(QStringLiteral("DataWindowCheck"));
    layout->addWidget(dataWindow_);

    // Buttons of its own rather than the standard ones, whose texts Qt's translation would set.
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(tr("ＯＫ"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("CancelButton"));
    layout->addWidget(buttons);

    ShowGuess(guess, {});
    connect(buttons, &QDialogButtonBox::accepted, this, &CsvRolesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CsvRolesDialog::reject);
    connect(up, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(down, &QPushButton::clicked, this, [this] { MoveSelected(+1); });
    connect(separator_, &QComboBox::currentIndexChanged, this, &CsvRolesDialog::Reguess);
    connect(encoding_, &QComboBox::currentIndexChanged, this, &CsvRolesDialog::Reguess);
    // A line that holds no header is refused with a message, and the line shown goes back.
    connect(headerLine_, &QSpinBox::valueChanged, this, [this] {
        if (filling_) return;
        headerChosen_ = true;
        Reguess();
    });
    connect(decimalComma_, &QCheckBox::toggled, this, [this] {
        if (filling_) return;
        decimalChosen_ = true;
        Reguess();
    });
}

CsvRolesDialog::~CsvRolesDialog() = default;

LongCsvOptions CsvRolesDialog::GivenOptions() const {
    LongCsvOptions given;
    given.separator = static_cast<char>(separator_->currentData().toInt());
    given.encoding = static_cast<CsvEncoding>(encoding_->currentData().toInt());
    given.decimalSeparator = decimalComma_->isChecked() ? ',' : '.';
    return given;
}

void CsvRolesDialog::Reguess() {
    if (filling_) return;
    if (guessing_) {
        superseded_ = true;
        return;
    }
    guessing_ = true;
    bool shown = false, refused = false;
    do {
        superseded_ = false;
        shown = false;
        refused = !widgets::RunCommand(*seams_.messages, this, [this, &shown] { shown = GuessOffThread(); });
    } while (superseded_);
    guessing_ = false;
    if (refused || !shown) PutBack(shown_);
}

bool CsvRolesDialog::GuessOffThread() {
    const LongCsvOptions given = GivenOptions();
    // The header's line the user set stands; until then the one found.
    const int line = headerChosen_ ? headerLine_->value() : 0;
    std::optional<RoleGuess> guess;
    try {
        guess = widgets::ComputeOffThread<RoleGuess>(
            this, tr("列を調べています…"), progressAfterMs_, QStringLiteral("GuessProgress"),
            [bytes = bytes_, given, line] { return GuessRoles(*bytes, given, 20, line); });
    } catch (...) {
        if (!superseded_) throw;  // a superseded guess's refusal is not said
    }
    if (!guess || superseded_) return false;
    ShowGuess(*guess, given);
    return true;
}

CsvRolesDialog::Choice CsvRolesDialog::ControlsNow() const {
    return {separator_->currentIndex(), encoding_->currentIndex(), headerLine_->value(),
            decimalComma_->isChecked(),  decimalChosen_,           headerChosen_};
}

void CsvRolesDialog::PutBack(const Choice& choice) {
    filling_ = true;
    separator_->setCurrentIndex(choice.separator);
    encoding_->setCurrentIndex(choice.encoding);
    headerLine_->setValue(choice.headerLine);
    decimalComma_->setChecked(choice.decimalComma);
    filling_ = false;
    decimalChosen_ = choice.decimalChosen;
    headerChosen_ = choice.headerChosen;
}

void CsvRolesDialog::ShowGuess(const RoleGuess& guess, const LongCsvOptions& given) {
    options_ = guess.options;
    // The decimal separator the user set stands; until then the guess's.
    if (decimalChosen_) options_.decimalSeparator = given.decimalSeparator;
    filling_ = true;
    decimalComma_->setChecked(options_.decimalSeparator == ',');
    headerLine_->setValue(static_cast<int>(guess.headerLine));
    // 自動, while chosen, says what it found.
    if (separator_->currentIndex() == 0)
        separator_->setItemText(0, tr("自動（%1）").arg(SeparatorName(options_.separator)));
    if (encoding_->currentIndex() == 0)
        encoding_->setItemText(0,
                               tr("自動（%1）")
                                   .arg(options_.encoding == CsvEncoding::Cp932 ? QStringLiteral("Shift_JIS")
                                                                                : QStringLiteral("UTF-8")));
    filling_ = false;
    shown_ = ControlsNow();
    FillPreview(guess);
    FillRoles(guess);
}

void CsvRolesDialog::FillPreview(const RoleGuess& guess) {
    preview_->clear();
    preview_->setColumnCount(static_cast<int>(guess.header.size()));
    preview_->setRowCount(static_cast<int>(guess.rows.size()));
    QStringList header;
    for (std::size_t c = 0; c < guess.header.size(); ++c)
        header.append(ColumnText(guess.header[c], static_cast<int>(c)));
    preview_->setHorizontalHeaderLabels(header);
    for (int r = 0; r < preview_->rowCount(); ++r) {
        const auto& row = guess.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < preview_->columnCount() && c < static_cast<int>(row.size()); ++c)
            preview_->setItem(r, c, new QTableWidgetItem(Text(row[static_cast<std::size_t>(c)])));
    }
    preview_->resizeColumnsToContents();
}

// The list: the subject, the score, the within factors and the between
// factors in the guessed order, then every other column as the header has them.
void CsvRolesDialog::FillRoles(const RoleGuess& guess) {
    roles_->setRowCount(0);
    std::vector<std::string> listed;
    const auto add = [&](const std::string& name, ColumnRole role) {
        if (std::find(listed.begin(), listed.end(), name) != listed.end()) return;
        const auto column = std::find(guess.header.begin(), guess.header.end(), name);
        if (column == guess.header.end()) return;  // a role the guess left empty
        listed.push_back(name);
        AddRoleRow(name, role, ColumnText(name, static_cast<int>(column - guess.header.begin())));
    };
    add(guess.roles.id, ColumnRole::Subject);
    add(guess.roles.dv, ColumnRole::Score);
    for (const std::string& name : guess.roles.within) add(name, ColumnRole::Within);
    for (const std::string& name : guess.roles.between) add(name, ColumnRole::Between);
    // The others, one without a name (R's row names) among them: in no role.
    for (const std::string& name : guess.header) add(name, ColumnRole::None);
    UpdateChoice();
}

void CsvRolesDialog::AddRoleRow(const std::string& name, ColumnRole role, const QString& shown) {
    const int row = roles_->rowCount();
    roles_->insertRow(row);
    auto* item = new QTableWidgetItem(shown);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    roles_->setItem(row, kNameColumn, item);
    QComboBox* combo = RoleCombo(roles_, role);
    roles_->setCellWidget(row, kRoleColumn, combo);
    connect(combo, &QComboBox::currentIndexChanged, this, &CsvRolesDialog::UpdateChoice);
}

LongCsvRoles CsvRolesDialog::Roles() const {
    LongCsvRoles roles;
    for (int row = 0; row < roles_->rowCount(); ++row) {
        const std::string name =
            roles_->item(row, kNameColumn)->data(Qt::UserRole).toByteArray().toStdString();
        switch (static_cast<ColumnRole>(
            static_cast<QComboBox*>(roles_->cellWidget(row, kRoleColumn))->currentData().toInt())) {
            case ColumnRole::Subject:
                if (roles.id.empty()) roles.id = name;
                break;
            case ColumnRole::Score:
                if (roles.dv.empty()) roles.dv = name;
                break;
            case ColumnRole::Within:
                roles.within.push_back(name);
                break;
            case ColumnRole::Between:
                roles.between.push_back(name);
                break;
            case ColumnRole::None:
                break;
        }
    }
    return roles;
}

ColumnRole CsvRolesDialog::RoleOf(const std::string& name) const {
    for (int row = 0; row < roles_->rowCount(); ++row)
        if (roles_->item(row, kNameColumn)->data(Qt::UserRole).toByteArray().toStdString() == name)
            return static_cast<ColumnRole>(
                static_cast<QComboBox*>(roles_->cellWidget(row, kRoleColumn))->currentData().toInt());
    return ColumnRole::None;
}

void CsvRolesDialog::SetRole(const std::string& name, ColumnRole role) {
    for (int row = 0; row < roles_->rowCount(); ++row)
        if (roles_->item(row, kNameColumn)->data(Qt::UserRole).toByteArray().toStdString() == name) {
            auto* combo = static_cast<QComboBox*>(roles_->cellWidget(row, kRoleColumn));
            combo->setCurrentIndex(combo->findData(static_cast<int>(role)));
        }
}

void CsvRolesDialog::MoveSelected(int step) {
    const int row = roles_->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= roles_->rowCount()) return;
    const std::string name = roles_->item(row, kNameColumn)->data(Qt::UserRole).toByteArray().toStdString();
    const ColumnRole role = RoleOf(name);
    const QString shown = roles_->item(row, kNameColumn)->text();
    roles_->removeRow(row);
    roles_->insertRow(to);
    auto* item = new QTableWidgetItem(shown);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    roles_->setItem(to, kNameColumn, item);
    QComboBox* combo = RoleCombo(roles_, role);
    roles_->setCellWidget(to, kRoleColumn, combo);
    connect(combo, &QComboBox::currentIndexChanged, this, &CsvRolesDialog::UpdateChoice);
    roles_->setCurrentCell(to, kNameColumn);
}

void CsvRolesDialog::SetSeparator(char separator) {
    separator_->setCurrentIndex(std::max(0, separator_->findData(int{separator})));
}

void CsvRolesDialog::SetDecimalComma(bool comma) {
    decimalComma_->setChecked(comma);
}

void CsvRolesDialog::SetHeaderLine(int line) {
    headerLine_->setValue(line);
}

int CsvRolesDialog::HeaderLine() const {
    return headerLine_->value();
}

void CsvRolesDialog::SetEncoding(CsvEncoding encoding) {
    encoding_->setCurrentIndex(encoding_->findData(static_cast<int>(encoding)));
}

void CsvRolesDialog::UpdateChoice() {
    const LongCsvRoles roles = Roles();
    const bool twoWithin = roles.within.size() == 2 && roles.between.empty();
    dataWindow_->setEnabled(twoWithin);
    if (!twoWithin) dataWindow_->setChecked(false);
}

CsvImportOptions CsvRolesDialog::ImportOptions(const LongCsvRoles& roles) const {
    // As the import of a long CSV reads it: a new study, not saved to any file yet.
    CsvImportOptions import;
    import.encoding = options_.encoding;
    import.separator = options_.separator;
    import.decimalSeparator = options_.decimalSeparator;
    import.storedDecimalSeparator = storedDecimalSeparator_;  // 計算 reads the program's
    import.subjectColumn = roles.id;
    import.aColumn = roles.within.at(0);
    import.bColumn = roles.within.at(1);
    import.scoreColumn = roles.dv;
    import.recordsBeforeHeader = options_.recordsBeforeHeader;
    return import;
}

bool CsvRolesDialog::OpenInDataWindow() const {
    return dataWindow_->isEnabled() && dataWindow_->isChecked();
}

void CsvRolesDialog::accept() {
    // A second ＯＫ while one runs does nothing.
    if (widgets::OffThreadRunning()) return;
    bool stopped = false;
    const bool read = widgets::RunCommand(*seams_.messages, this, [this, &stopped] {
        const LongCsvRoles roles = Roles();
        if (roles.id.empty() || roles.dv.empty())
            throw CsvError(Cp932FromUtf8("被験者の列と得点の列を 1 つずつ選んでください"));
        // The design and, as chosen, its analysis or the study for the data window.
        struct Read {
            DesignData design;
            std::optional<anova::Analysis> analysis;
            std::optional<StudyStore> study;
        };
        std::optional<CsvImportOptions> import;
        if (OpenInDataWindow()) import = ImportOptions(roles);
        // The worker reads copies, so that the dialog may go on.
        auto done = widgets::ComputeOffThread<Read>(
            this, tr("CSV ファイルを読み込んで分析しています…"), progressAfterMs_,
            QStringLiteral("AnalysisProgress"), [bytes = bytes_, roles, options = options_, import] {
                Read got{ReadLongCsv(*bytes, roles, options), {}, {}};
                if (import && (!got.design.removed.empty() || got.design.averagedCells > 0))
                    throw CsvError(
                        Cp932FromUtf8("データ ウィンドウで開けるのは、どの被験者もどのセルにもちょうど 1 "
                                      "つの得点があるデータだけです"));
                if (import)
                    ReadStudyCsv(*bytes, *import, got.study.emplace());
                else
                    got.analysis.emplace(anova::Analyse(got.design));
                return got;
            });
        stopped = !done;
        if (stopped) return;
        design_ = std::move(done->design);
        analysis_ = std::move(done->analysis);
        study_ = std::move(done->study);
    });
    if (read && !stopped) QDialog::accept();
}

}  // namespace morvane
