#pragma once
// The dialog "分析の設定" of the results window: the follow-up analyses the
// next analysis of its design is to give, as morvane anova's options ask for
// them. The adjustments of the comparisons (a check box per method), the
// effect sizes shown beside the eta squareds (by the tool's names), per factor
// its polynomial trends (with their spacing, "0,1,2,4") and its contrasts (a
// line each, "名前: 1,-1,0"), the interactions whose cells are compared, the
// simple interactions (three or more factors), the alpha of the robustness
// table and, for a long CSV, the measured factors. ＯＫ reads the fields with
// the tool's reader and checks them against the design: a refusal shows the
// tool's sentence through the message seam, focuses the field and leaves
// everything typed as it was; otherwise the dialog closes with Chosen() set.

#include <QDialog>
#include <QString>
#include <vector>

#include "anova/Analysis.h"
#include "design/Design.h"
#include "widgets/Seams.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace morvane {

class AnalysisSettingsDialog final : public QDialog {
    Q_OBJECT

public:
    // Over `parent`, for a design of these factors, filled from `options`;
    // the measured factors offered where `observedApplies` (a long CSV's).
    AnalysisSettingsDialog(QWidget* parent, const widgets::Seams& seams, std::vector<DesignFactor> between,
                           std::vector<DesignFactor> within, const anova::Options& options,
                           bool observedApplies);

    // After ＯＫ: the options chosen (the others as given).
    const anova::Options& Chosen() const { return chosen_; }

    void accept() override;

private:
    // One factor's contrast fields.
    struct FactorFields {
        QString name;
        QCheckBox* trend = nullptr;
        QLineEdit* spacing = nullptr;
        QPlainTextEdit* contrasts = nullptr;
        QCheckBox* observed = nullptr;
    };
    // An interaction's check box and its factors.
    struct CellsField {
        std::vector<std::string> factors;
        QCheckBox* box = nullptr;
    };

    QWidget* MakeComparisons(QWidget* parent);
    QWidget* MakeContrasts(QWidget* parent);
    QWidget* MakeCells(QWidget* parent);
    // Fills the fields from `options`.
    void Fill(const anova::Options& options);
    // The fields read into `options`; false, the refusal shown and its field
    // focused, where one does not read or fit.
    bool Read(anova::Options& options);
    // Adds a factor's trend and contrasts to `options`; false where refused.
    bool ReadFactor(const FactorFields& fields, anova::Options& options);
    // Shows `why` and focuses `field`.
    bool Refuse(const QString& why, QWidget* field);

    widgets::Seams seams_;
    std::vector<DesignFactor> between_, within_;
    bool observedApplies_;
    anova::Options chosen_;

    std::vector<QCheckBox*> adjustments_;  // in kAdjustmentNames' order
    std::vector<QCheckBox*> effectSizes_;  // eta2, omega2, f, gomega2, fconv
    std::vector<FactorFields> factors_;    // between first
    QCheckBox* allCells_ = nullptr;
    std::vector<CellsField> cells_;
    QCheckBox* simpleInteractions_ = nullptr;
    QDoubleSpinBox* alpha_ = nullptr;
};

}  // namespace morvane
