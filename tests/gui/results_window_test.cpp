#include "results/results_fixture.h"

#include "core/foundation/app_state.h"
#include "core/foundation/record_file.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/target_file.h"
#include "gui/results/results_window.h"
#include "gui/results/right_rate_chart.h"
#include "gui/testbuilder/exam_window.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdlib>
#include <memory>

using namespace tb;

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<headless::TempFolder>();
        results_fixture::makeClass(folder->path());
        prompts = std::make_unique<headless::ScriptedPrompts>();
        state = std::make_unique<AppState>(std::make_unique<ProductionRandom>(), folder->path());
        targets = std::make_unique<TargetFiles>(*state, *prompts, workingFile, header);
        window = std::make_unique<ResultsWindow>(
            std::make_unique<ClassResults>(folder->path(), *folder / "week5.dsq", "Week 5"), *targets, *prompts);
        window->resize(900, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void studentTableSortsAndOpensTheAttempt()
    {
        auto* students = find<QTableWidget>("grdstudents");
        QCOMPARE(students->rowCount(), 3);
        QCOMPARE(students->item(0, 0)->text(), QStringLiteral("ann lee"));
        QCOMPARE(students->item(0, 1)->text(), QStringLiteral("100 %"));
        QCOMPARE(students->item(0, 1)->toolTip(), QStringLiteral("2 of 2"));
        QCOMPARE(students->item(0, 3)->text(), QStringLiteral("2"));
        QCOMPARE(students->item(0, 4)->text(), QStringLiteral("pass"));
        QCOMPARE(students->item(1, 5)->text(), QStringLiteral("22 min 5 s"));
        // By time taken, as numbers: 59 s before 8 min before 22 min 5 s.
        students->sortByColumn(5, Qt::AscendingOrder);
        QCOMPARE(students->item(0, 0)->text(), QStringLiteral("Cy"));
        QCOMPARE(students->item(2, 0)->text(), QStringLiteral("Bob"));

        QStringList seen;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* answers = dialog->findChild<QTableWidget*>(QStringLiteral("grdanswers"));
            for (int c = 0; c < answers->columnCount(); ++c)
                seen << answers->item(1, c)->text();
            dialog->reject();
        });
        window->openStudent(2); // Bob, sorted last
        QCOMPARE(seen,
            (QStringList { "2",
                "A client is ordered 250 mg's of Amoxil orally. 125 mg's in 5 ml's of mixture is available. How many "
                "ml's will you administer?",
                "10 ml", "100", "wrong", "2", "Your answer is 10 times too large: check the unit conversion." }));
    }

    void questionTableAndChartFigures()
    {
        auto* questions = find<QTableWidget>("grdquestions");
        QCOMPARE(questions->rowCount(), 4);
        QCOMPARE(questions->item(0, 5)->text(), QStringLiteral("50 %"));
        QCOMPARE(questions->item(0, 6)->text(), QStringLiteral("50 % gave ten times too much: unit conversion"));
        QCOMPARE(questions->item(2, 1)->text(), QStringLiteral("Convert 5 mgs to gs."));
        QCOMPARE(questions->item(2, 3)->text(), QStringLiteral("0"));
        QCOMPARE(questions->item(2, 4)->text(), QStringLiteral("1"));
        auto* chart = window->findChild<RightRateChart*>(QStringLiteral("picrightrate"));
        QCOMPARE(chart->rates(), (std::vector<int> { 50, 66, 100, 0 }));
        // The bars stand in proportion: the full one twice the height of the half one.
        QVERIFY(chart->barRect(2).height() > 0);
        QVERIFY(qAbs(chart->barRect(2).height() - 2 * chart->barRect(0).height()) <= 1);
        QCOMPARE(chart->barRect(3).height(), 0);
        const QImage drawn = chart->grab().toImage();
        QCOMPARE(drawn.pixelColor(chart->barRect(2).center()), QColor(0x3a, 0x7d, 0xc4));

        find<QComboBox>("cboways")->setCurrentIndex(2); // practice only: Bob's two questions
        QCOMPARE(questions->rowCount(), 2);
        QCOMPARE(chart->rates(), (std::vector<int> { 100, 0 }));
        QCOMPARE(find<QTableWidget>("grdstudents")->rowCount(), 1);
    }

    void unreadableFilesAreNamed()
    {
        auto* list = find<QPlainTextEdit>("txtunreadable");
        QVERIFY(list->isVisible());
        QVERIFY(list->toPlainText().contains(
            QStringLiteral("The results file \"broken.csv\" is damaged: a quoted field is not closed.")));
        QVERIFY(list->toPlainText().contains(QStringLiteral("\"old-week5.dsq\"")));
    }

    // The marks file through the save dialog; LibreOffice reads it back with the cells expected.
    void marksExportReadBySpreadsheet()
    {
        // A name with a comma, quotes and a letter beyond ASCII (Windows-1252 0xEB).
        results_fixture::attempt(folder->path(), "O'Neil, \"Zo\xEB\"", "sit", "Week 5", "week5.dsq", 90, 300,
            { results_fixture::row(1, "Tablets", "2 tablets", "2", true, 1) });
        window = std::make_unique<ResultsWindow>(
            std::make_unique<ClassResults>(folder->path(), *folder / "week5.dsq", "Week 5"), *targets, *prompts);
        // Never over the open test, whatever the name typed.
        const std::string test = folder->read("week5.dsq");
        prompts->fileNames = { "WEEK5.dsq" };
        find<QPushButton>("cmdmarks")->click();
        QCOMPARE(folder->read("week5.dsq"), test);
        QVERIFY(prompts->messages.back().text.starts_with("Nothing was exported to WEEK5.dsq."));
        prompts->dialogs.clear();
        prompts->fileNames = { (*folder / "marks.csv").string() };
        find<QPushButton>("cmdmarks")->click();
        QCOMPARE(prompts->dialogs.at(0).proposed, std::string("Week 5 marks.csv"));
        const std::string marks = readWholeFile(*folder / "marks.csv");
        QVERIFY(marks.starts_with("\xEF\xBB\xBFStudent,Username,Best %,Last %,"));

        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the spreadsheet read-back is not checked.");
        QProcess convert;
        convert.setWorkingDirectory(QString::fromStdString(folder->path().string()));
        convert.start(soffice,
            { QStringLiteral("-env:UserInstallation=file://") + QString::fromStdString((*folder / "lo").string()),
                QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:44,34,76,1"),
                QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):59,34,76,1"),
                QStringLiteral("--outdir"), QString::fromStdString((*folder / "out").string()),
                QStringLiteral("marks.csv") });
        QVERIFY(convert.waitForFinished(120000));
        // Read back as UTF-8 cells separated by semicolons, the text cells quoted: the byte-order
        // mark gone, the marks numbers, the names with their comma, quotes and letters intact.
        const QStringList lines = QString::fromUtf8(readWholeFile(*folder / "out" / "marks.csv"))
                                      .split(QRegularExpression(QStringLiteral("\\r?\\n")), Qt::SkipEmptyParts);
        QCOMPARE(lines,
            (QStringList { R"("Student";"Username";"Best %";"Last %";"Best score";"Attempts";"Result";"Time taken")",
                R"("ann lee";"ann lee";100;100;"2 of 2";2;"pass";"8 min")",
                R"("Bob";"bob";50;50;"1 of 2";1;"pass";"22 min 5 s")", R"("Cy";"cy";0;0;"0 of 1";1;"fail";"59 s")",
                QString::fromUtf8("\"O'Neil, \"\"Zo\xC3\xAB\"\"\";\"o'neil, \"\"zo\xC3\xAB\"\"\";100;100;\"1 of "
                                  "1\";1;\"pass\";\"5 min\"") }));
    }

    void clearAsksThenEmpties()
    {
        prompts->yesNoAnswers = { true };
        find<QPushButton>("cmdclear")->click();
        QCOMPARE(prompts->questions.size(), std::size_t(1));
        QCOMPARE(find<QTableWidget>("grdstudents")->rowCount(), 0);
        QVERIFY(!find<QPushButton>("cmdclear")->isEnabled());
        QVERIFY(std::filesystem::exists(*folder / "results" / "broken.csv"));
    }

    // File, "Student &Results...": R is used by no other entry; a new test has no results.
    void fileMenuEntry()
    {
        folder->copySampleDatabase(TB_SAMPLE_DIR);
        AppState state(std::make_unique<ProductionRandom>(), folder->path());
        QVERIFY(!loadStartupFiles(state));
        ExamWindow exam(state, *prompts);
        exam.show();
        QVERIFY(QTest::qWaitForWindowExposed(&exam));
        auto* entry = exam.findChild<QAction*>(QStringLiteral("mnuresults"));
        QCOMPARE(entry->text(), QStringLiteral("Student &Results..."));
        int usingR = 0;
        for (QAction* a : exam.findChild<QMenu*>(QStringLiteral("file"))->actions()) {
            const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
            if (amp >= 0 && a->text().at(amp + 1).toLower() == QLatin1Char('r'))
                ++usingR;
        }
        QCOMPARE(usingR, 1);
        entry->trigger();
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QVERIFY(prompts->messages[0].text.starts_with("This test has not been saved yet"));
        prompts->yesNoAnswers = { false };
        exam.close();
    }

private:
    template <typename T> T* find(const char* name)
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }

    std::unique_ptr<headless::TempFolder> folder;
    std::unique_ptr<headless::ScriptedPrompts> prompts;
    std::unique_ptr<AppState> state;
    std::string workingFile = "week5.dsq";
    TestHeader header;
    std::unique_ptr<TargetFiles> targets;
    std::unique_ptr<ResultsWindow> window;
};

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
