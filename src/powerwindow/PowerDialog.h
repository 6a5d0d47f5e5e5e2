#pragma once
// The power calculator "検出力の計算": the inputs of `morvane power` (the
// effect's kind, M measures, K groups, its size as f or partial eta squared,
// the convention, rho, epsilon, alpha) and what to find (the power at a total
// N, the smallest N for a power, or the smallest f detectable at N), its
// answer shown below them as the inputs change. Every figure comes from
// stats/Power; the dialog only reads the inputs and writes the answer.
// Modeless; the results window opens it filled from an effect's planning.

#include <QDialog>
#include <optional>

#include "stats/Power.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace morvane {

// What the dialog is asked: as `morvane power`'s options.
struct PowerQuestion {
    enum class Find { Power, N, SmallestF };
    PowerDesign design;
    Find find = Find::N;
    bool etaSquared = false;  // the size is partial eta squared, else f
    Extended size = 0.25L;
    long long n = 20;
    Extended power = 0.8L;
};

class PowerDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PowerDialog(QWidget* parent);

    // The inputs set to `question`, and its answer shown.
    void Ask(const PowerQuestion& question);
    // The inputs as they stand; absent, with Problem() saying why, where one
    // is not a number or out of its range.
    std::optional<PowerQuestion> Question() const;
    QString Problem() const { return problem_; }
    // The answer shown (or the problem), as the label below the inputs has it.
    QString Answer() const;

private:
    // Any input changed: the answer found anew.
    void Recalculate();
    // The inputs that do not apply to the kind, convention or what is found, disabled.
    void FollowChoices();

    QComboBox* effect_;
    QSpinBox* levels_;
    QSpinBox* groups_;
    QComboBox* sizeKind_;
    QLineEdit* size_;
    QComboBox* convention_;
    QLineEdit* rho_;
    QLineEdit* epsilon_;
    QLineEdit* alpha_;
    QComboBox* find_;
    QLineEdit* n_;
    QLineEdit* power_;
    QLabel* answer_;
    mutable QString problem_;
    bool asking_ = false;
};

}  // namespace morvane
