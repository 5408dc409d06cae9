#include "core/foundation/app_state.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/class_versions.h"
#include "core/testbuilder/exam_model.h"
#include "gui/testbuilder/exam_window.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// The field's text as the teacher sees it, no-break spaces included.
QString rawText(const QPlainTextEdit* edit)
{
    return edit->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

std::string testFile(const std::vector<tb::QuestionRecord>& questions)
{
    std::string bytes = tb::TestHeader().pack();
    for (const auto& question : questions)
        bytes += question.pack();
    return bytes;
}

} // namespace

class ExamWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window.reset();
        state.reset();
        folder = std::make_unique<tb::headless::TempFolder>();
        folder->copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder->path());
        QVERIFY(!tb::loadStartupFiles(*state));
        prompts = std::make_unique<tb::headless::ScriptedPrompts>();
        openWindow();
    }

    // Unticking the last box ticks the four again; the boxes after them start unticked and are not reticked.
    void categoryBoxes()
    {
        QCOMPARE(category(4)->text(), QStringLiteral("Infusion Pump Rates"));
        QCOMPARE(category(5)->text(), QStringLiteral("Infusion Times"));
        QCOMPARE(ticked(), QStringLiteral("11110000"));
        onlyCategory(0);
        category(0)->click();
        QCOMPARE(ticked(), QStringLiteral("11110000"));
        onlyCategory(5);
        category(5)->click();
        QCOMPARE(ticked(), QStringLiteral("11110000"));
    }

    void createWithOnlyOneInfusionBox_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("asks");
        QTest::newRow("pump rates") << 4 << QStringLiteral(" ml/hr");
        QTest::newRow("times") << 5 << QStringLiteral("How many minutes will the infusion take?");
    }

    void createWithOnlyOneInfusionBox()
    {
        QFETCH(int, box);
        QFETCH(QString, asks);
        onlyCategory(box);
        auto* count = find<QLineEdit>("Text1");
        count->clear();
        QTest::keyClicks(count, QStringLiteral("-.aZ2"));
        QCOMPARE(count->text(), QStringLiteral("2")); // the count box takes only digits
        find<QPushButton>("Cmdgenerate")->click();
        QCOMPARE(label("Label1"), QStringLiteral("2 / 2"));
        QVERIFY(rawText(field(0)).startsWith(QLatin1Char('\n')));
        QVERIFY2(rawText(field(0)).contains(asks), qPrintable(rawText(field(0))));
        QVERIFY(rawText(field(1)).startsWith(QStringLiteral("The Question was :")));
        bool whole = false;
        QVERIFY(answer()->text().toInt(&whole) > 0 && whole);
        QVERIFY(prompts->messages.empty());
    }

    // The heparin and insulin box starts unticked; ticked alone, Create Question makes only its questions.
    void createWithOnlyTheUnitsBox()
    {
        QCOMPARE(category(7)->text(), QStringLiteral("Units: Heparin and Insulin"));
        QVERIFY(!category(7)->isChecked());
        onlyCategory(7);
        QCOMPARE(ticked(), QStringLiteral("00000001"));
        find<QLineEdit>("Text1")->setText(QStringLiteral("12"));
        find<QPushButton>("Cmdgenerate")->click();
        QCOMPARE(label("Label1"), QStringLiteral("12 / 12"));
        QVERIFY(prompts->messages.empty());
        const std::string stored = folder->read("test.tmp");
        QCOMPARE(stored.size(), std::size_t { 13 * 2012 });
        for (std::size_t n = 1; n <= 12; ++n) {
            const auto question = tb::QuestionRecord::unpack(stored.substr(n * 2012, 2012));
            QCOMPARE(tb::questionCategory(question.questionText), int { tb::HeparinInsulinUnits });
            QVERIFY(question.questionText.starts_with("\r\n"));
            QVERIFY(question.solutionText.find("Rounding: ") != std::string::npos);
        }
    }

    // The weight-based doses box starts unticked; alone it makes weight-based dose questions from the
    // folder's doses per kg, and without that file it is disabled, saying why.
    void weightDoseBox()
    {
        QCOMPARE(category(6)->text(), QStringLiteral("Weight-Based Doses"));
        QVERIFY(!category(6)->isChecked());
        QVERIFY(category(6)->isEnabled());
        QVERIFY(category(6)->toolTip().startsWith(QStringLiteral("Doses per kg of ")));
        onlyCategory(6);
        auto* count = find<QLineEdit>("Text1");
        count->setText(QStringLiteral("3"));
        find<QPushButton>("Cmdgenerate")->click();
        QCOMPARE(label("Label1"), QStringLiteral("3 / 3"));
        QVERIFY2(rawText(field(0)).startsWith(QStringLiteral("\nA child weighing ")), qPrintable(rawText(field(0))));
        QVERIFY(answer()->text().toDouble() > 0);
        QVERIFY(prompts->messages.empty());

        std::filesystem::remove(*folder / "mxweight.txt");
        openWindow();
        QVERIFY(!category(6)->isEnabled());
        QVERIFY(category(6)->toolTip().startsWith(QStringLiteral("There is no file of doses per kg (mxweight.txt)")));
    }

    // Shown as U+00B5 and U+00A0, stored back by Save Test (visible after Open) as bytes 181 and 160.
    void microAndNoBreakSpaceRoundTrip()
    {
        const std::string question = "Give 250 \xB5g.\r\nHow many ml?";
        const std::string solution = "Dose\xA0\xA0= 250\xA0\xB5g";
        folder->write("micro.dsq", testFile({ { question, solution, "0.5" } }));
        openWindow();
        QVERIFY(!action("mnusave_1")->isVisible());
        prompts->fileNames = { "micro.dsq" };
        action("mnuopen_1")->trigger();
        QVERIFY(action("mnusave_1")->isVisible());
        QCOMPARE(rawText(field(0)), QStringLiteral("Give 250 \u00B5g.\nHow many ml?"));
        QCOMPARE(rawText(field(1)), QStringLiteral("Dose\u00A0\u00A0= 250\u00A0\u00B5g"));

        field(0)->moveCursor(QTextCursor::End);
        QTest::keyClicks(field(0), QStringLiteral(" \u00B5"));
        action("mnusave_1")->trigger();
        const auto stored = tb::QuestionRecord::unpack(folder->read("micro.dsq").substr(2012, 2012));
        QCOMPARE(tb::stripBlanks(stored.questionText), question + " \xB5");
        QCOMPARE(tb::stripBlanks(stored.solutionText), solution);
    }

    // An export proposes the test's own name and reports what it wrote in the status line, with
    // no box to close.
    void exportReportsInTheStatusLine()
    {
        folder->write("week3.dsq", testFile({ { "Give 0.5 g as mg.", "0.5 g = 500 mg", "500" } }));
        prompts->fileNames = { "week3.dsq", "week3.xml" };
        action("mnuopen_1")->trigger();
        action("mnuexport")->trigger();
        QCOMPARE(QString::fromStdString(prompts->dialogs.back().proposed), QStringLiteral("week3.xml"));
        QVERIFY(prompts->messages.empty());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Exported week3.xml (Moodle XML, 1 question)"));
        QVERIFY(QFile::exists(QString::fromStdString((*folder / "week3.xml").string())));
    }

private:
    void openWindow()
    {
        window.reset();
        window = std::make_unique<tb::ExamWindow>(*state, *prompts);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    template <class T> T* find(const QString& name) const { return window->findChild<T*>(name); }
    QPlainTextEdit* field(int i) const { return find<QPlainTextEdit>(QStringLiteral("Txtquestion_%1").arg(i)); }
    QLineEdit* answer() const { return find<QLineEdit>("txtanswer"); }
    QCheckBox* category(int i) const { return find<QCheckBox>(QStringLiteral("Check1_%1").arg(i)); }
    QAction* action(const char* name) const { return find<QAction>(QString::fromLatin1(name)); }
    QString label(const char* name) const { return find<QLabel>(QString::fromLatin1(name))->text(); }
    QString ticked() const // "1" for each ticked category box, "0" for the others
    {
        QString ticks;
        for (int i = 0; i < tb::CategoryBoxCount; ++i)
            ticks += category(i)->isChecked() ? u'1' : u'0';
        return ticks;
    }
    void onlyCategory(int box) const
    {
        if (!category(box)->isChecked())
            category(box)->click();
        for (int i = 0; i < tb::CategoryBoxCount; ++i)
            if (i != box && category(i)->isChecked())
                category(i)->click();
    }

    std::unique_ptr<tb::headless::TempFolder> folder;
    std::unique_ptr<tb::AppState> state;
    std::unique_ptr<tb::headless::ScriptedPrompts> prompts;
    std::unique_ptr<tb::ExamWindow> window;
};

QTEST_MAIN(ExamWindowTest)
#include "exam_window_test.moc"
