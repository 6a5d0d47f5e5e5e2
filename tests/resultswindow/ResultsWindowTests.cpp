// The results window's test classes, run one after the other in one program.

#include <QApplication>

int RunStudyResultsTest(int argc, char** argv);
int RunCsvResultsTest(int argc, char** argv);
int RunOneWindowTest(int argc, char** argv);
int RunOutputLogTest(int argc, char** argv);
int RunAnalysisSettingsTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);  // as QTEST_MAIN sets it
    int failed = 0;
    for (const auto run : {RunStudyResultsTest, RunCsvResultsTest, RunOneWindowTest, RunOutputLogTest,
                            RunAnalysisSettingsTest})
        failed += run(argc, argv) != 0 ? 1 : 0;
    return failed;
}
