#include "levelswindow/LevelGrid.h"

#include <QCoreApplication>
#include <QtMath>

#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "widgets/StringGrid.h"

namespace morvane {
namespace {

std::string Heading(char letter, int level) {
    return letter + std::to_string(level) + " ==>";
}

}  // namespace

void SetUpLevelGrid(widgets::StringGrid& grid, char letter) {
    grid.SetColCount(2);
    grid.SetRowCount(2);
    grid.SetColWidth(1, qRound(grid.ColWidth(0) * 1.5));
    grid.setFont(qttext::CellFont(Face::PGothic, 16));
    widgets::StringGridModel& cells = grid.Cells();
    cells.SetCell(
        0, 0,
        qttext::ToCp932(letter == 'a' ? QCoreApplication::translate("morvane::LevelGrid", "要因Ａ")
                                      : QCoreApplication::translate("morvane::LevelGrid", "要因Ｂ")));
    cells.SetCell(0, 1, Heading(letter, 1));
    cells.SetCell(1, 0, qttext::ToCp932(QCoreApplication::translate("morvane::LevelGrid", "ラベル")));
    grid.SelectCell(1, 1);
}

void AddLevel(widgets::StringGrid& grid, char letter) {
    widgets::StringGridModel& cells = grid.Cells();
    const int r = grid.Row();
    grid.SetRowCount(grid.RowCount() + 1);
    const int k = grid.RowCount() - 1;
    cells.SetCell(0, k, Heading(letter, k));
    cells.SetCell(1, k, " ");
    if (r <= 0 || r >= k - 1) return;
    for (int i = k; i >= r + 2; --i) cells.SetCell(1, i, cells.Cell(1, i - 1));
    cells.SetCell(1, r + 1, " ");
}

void DeleteLevel(widgets::StringGrid& grid, char letter) {
    widgets::StringGridModel& cells = grid.Cells();
    const int r = grid.Row();
    const int rows = grid.RowCount();
    if (r > 0 && r < rows - 1)
        for (int i = r; i <= rows - 2; ++i) cells.SetCell(1, i, cells.Cell(1, i + 1));
    if (r > 0 && rows > 2) grid.SetRowCount(rows - 1);
    for (int k = 1; k < grid.RowCount(); ++k) cells.SetCell(0, k, Heading(letter, k));
}

std::vector<std::string> LevelNames(const widgets::StringGrid& grid) {
    std::vector<std::string> names;
    for (int k = 1; k < grid.RowCount(); ++k) names.push_back(grid.Cells().Cell(1, k));
    return names;
}

}  // namespace morvane
