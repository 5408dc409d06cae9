#include "gui/testbuilder/exam_window.h"

#include "core/foundation/app_state.h"
#include "core/foundation/prompts.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_platform_export.h"
#include "core/testbuilder/exam_printing.h"
#include "gui/common/centreform.h"
#include "gui/common/program_text.h"
#include "gui/common/qt_print.h"
#include "gui/common/text_field.h"
#include "gui/common/weight_dose_box.h"
#include "gui/results/results_window.h"
#include "gui/settings/settings_window.h"
#include "gui/testbuilder/class_versions_dialog.h"
#include "gui/testbuilder/description_dialog.h"
#include "gui/testbuilder/exam_form.h"
#include "gui/testbuilder/exam_menus.h"
#include "gui/testbuilder/student_settings_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <functional>
#include <vector>

namespace tb {

namespace {

constexpr int FieldCount = 4; // three editing fields and the count box

} // namespace

class ExamWindow::Impl final : public ExamView {
public:
    Impl(ExamWindow& owner, AppState& state, Prompts& prompts)
        : owner_(owner)
        , state_(state)
        , prompts_(prompts)
    {
    }

    void createWidgets();
    void connectWidgets();
    void load();

    // ExamView
    void showFields(const std::string& question, const std::string& solution, const std::string& answer) override;
    void setCountText(const std::string& text) override;
    void setTitleLabel(const std::string& title) override;
    void applyStatus(const ButtonStatus& status) override;
    void showSaveTest() override;
    void showStatus(const std::string& text) override;

    // handlers
    void Txtquestion_Change(int field);
    void Text1_Change();
    bool keyPress(QWidget* field, QKeyEvent* event);
    void Check1_Click(int index);
    void Lstcategory_Change();
    void Cmdgenerate_Click();
    void Command1_Click();
    void cmdforward_Click(int index);
    void Command2_Click(int index);
    void mnuopen_Click(int index);
    void mnusave_Click(int index);
    void mnuop_Click(int entry);
    void numbquest_Click(int index);
    void tfop_Click(int index);
    void mnuprint_Click(int index);
    void mnuversions_Click();
    void copy_Click(int index);
    void editField(int index, int field);
    void mnuch_Click();
    void unload();

    // Runs a command of the model, which turns whatever the command throws into a message.
    void command(const std::function<void(ExamModel&)>& run);
    int fieldIndexOf(const QObject* widget) const;
    void syncCategoryBoxes();
    void updatefilelist();

    ExamWindow& owner_;
    AppState& state_;
    Prompts& prompts_;
    std::unique_ptr<ExamModel> model_;
    // The features beside the test, each a tool reading the model; made with it.
    std::unique_ptr<ExamPrinting> printing_;
    std::unique_ptr<PlatformExportCommand> platformExport_;
    bool closing_ = false;
    bool showing_ = false;
    std::array<QString, 3> shownText_;
    std::array<std::string, 3> shownBytes_;
    bool saveTestShown_ = false;
    // While Create Question runs, only the last question it makes is put into the fields: the
    // window is not repainted in between. Laying out each of 99 questions took 9 times as long as
    // the model alone (75 ms, exam_window_bench); showing only the last takes about twice as long
    // (4.7 ms), inside the 16 ms frame.
    bool batching_ = false;
    bool fieldsPending_ = false;
    std::array<std::string, 3> pendingFields_;

    std::unique_ptr<ExamForm> form;

    std::unique_ptr<ExamMenus> menus;

    // The three editing fields and the count box, each with its limit in characters.
    std::array<TextField, FieldCount> fields {};
};

// ---------------------------------------------------------------- building

void ExamWindow::Impl::createWidgets()
{
    form = std::make_unique<ExamForm>(owner_);
    form->Txtquestion[0]->setOptions({ .limit = QuestionWidth });
    form->Txtquestion[1]->setOptions({ .limit = SolutionWidth });
    fields = { TextField(form->Txtquestion[0]), TextField(form->Txtquestion[1]),
        TextField(form->txtanswer, AnswerWidth), TextField(form->Text1, 2) };

    menus = std::make_unique<ExamMenus>(owner_.menuBar());
    // What an export wrote is reported here, without a box to close.
    owner_.statusBar()->setObjectName(QStringLiteral("StatusBar1"));
}

void ExamWindow::Impl::connectWidgets()
{
    for (int i = 0; i < 2; ++i)
        QObject::connect(
            form->Txtquestion[i], &QPlainTextEdit::textChanged, &owner_, [this, i] { Txtquestion_Change(i); });
    QObject::connect(form->txtanswer, &QLineEdit::textChanged, &owner_, [this] { Txtquestion_Change(2); });
    QObject::connect(form->Text1, &QLineEdit::textChanged, &owner_, [this] { Text1_Change(); });
    for (const TextField& field : fields) {
        QWidget* widget = field.widget();
        widget->installEventFilter(&owner_);
        // A field's own menu is the Edit menu, so that every paste takes the same way.
        QObject::connect(widget, &QWidget::customContextMenuRequested, &owner_, [this, widget](const QPoint& at) {
            widget->setFocus(Qt::PopupFocusReason);
            QMenu menu;
            for (QAction* a : menus->copy)
                menu.addAction(a);
            menu.exec(widget->mapToGlobal(at));
        });
    }

    for (int i = 0; i < CategoryBoxCount; ++i)
        QObject::connect(form->Check1[i], &QCheckBox::clicked, &owner_, [this, i] { Check1_Click(i); });
    QObject::connect(form->Lstcategory, &QListWidget::itemSelectionChanged, &owner_, [this] { Lstcategory_Change(); });
    QObject::connect(form->Cmdgenerate, &QPushButton::clicked, &owner_, [this] { Cmdgenerate_Click(); });
    QObject::connect(form->Command1, &QPushButton::clicked, &owner_, [this] { Command1_Click(); });
    for (int i = 0; i < 3; ++i)
        QObject::connect(form->cmdforward[i], &QToolButton::clicked, &owner_, [this, i] { cmdforward_Click(i); });
    for (int i = 0; i < 2; ++i)
        QObject::connect(form->Command2[i], &QPushButton::clicked, &owner_, [this, i] { Command2_Click(i); });

    for (int i = 0; i < 2; ++i) {
        QObject::connect(menus->mnuopen[i], &QAction::triggered, &owner_, [this, i] { mnuopen_Click(i); });
        QObject::connect(menus->mnusave[i], &QAction::triggered, &owner_, [this, i] { mnusave_Click(i); });
    }
    for (int i = 0; i < 6; ++i)
        QObject::connect(menus->numbquest[i], &QAction::triggered, &owner_, [this, i] { numbquest_Click(i); });
    for (int i = 0; i < 6; ++i)
        QObject::connect(menus->tfop[i], &QAction::triggered, &owner_, [this, i] { tfop_Click(i); });
    for (int i = 0; i < 2; ++i)
        QObject::connect(menus->mnuprint[i], &QAction::triggered, &owner_, [this, i] { mnuprint_Click(i); });
    QObject::connect(menus->mnuexport, &QAction::triggered, &owner_,
        [this] { command([this](ExamModel&) { platformExport_->exportForPlatform(); }); });
    QObject::connect(menus->mnuversions, &QAction::triggered, &owner_, [this] { mnuversions_Click(); });
    QObject::connect(menus->mnustudent, &QAction::triggered, &owner_,
        [this] { command([this](ExamModel& model) { runStudentSettings(&owner_, model, prompts_); }); });
    QObject::connect(menus->mnuresults, &QAction::triggered, &owner_,
        [this] { command([this](ExamModel& model) { runStudentResults(&owner_, model, state_, prompts_); }); });
    QObject::connect(menus->mnuquit, &QAction::triggered, &owner_, [this] { owner_.close(); });
    for (int i = 0; i < 3; ++i)
        QObject::connect(menus->copy[i], &QAction::triggered, &owner_, [this, i] { copy_Click(i); });
    QObject::connect(menus->mnuch, &QAction::triggered, &owner_, [this] { mnuch_Click(); });
}

// The opening steps. The model's constructor sets up the new test, writes its
// header and sets GenerationOk; the window places itself, lists the test files
// and fills the category list around it.
void ExamWindow::Impl::load()
{
    // The room the screen has, less a frame and a title bar.
    owner_.resize(owner_.sizeHint().boundedTo(owner_.screen()->availableGeometry().size() - QSize(8, 40)));
    centreform(owner_);

    try {
        model_ = std::make_unique<ExamModel>(state_, prompts_, *this);
        printing_ = std::make_unique<ExamPrinting>(*model_, prompts_, *this);
        platformExport_ = std::make_unique<PlatformExportCommand>(*model_, prompts_, *this);
    } catch (const std::exception& e) {
        prompts_.message(e.what(), "");
    }
    if (!model_) {
        // Without a test there is nothing to edit: close once the caller has shown us.
        owner_.setEnabled(false);
        QTimer::singleShot(0, &owner_, [this] { owner_.close(); });
        return;
    }

    updatefilelist();

    {
        const QSignalBlocker block(form->Lstcategory);
        const int count = qBound(0, state_.categories.CategoryCount, MaxCategories);
        for (int i = 1; i <= count; ++i) {
            auto* item
                = new QListWidgetItem(fromProgram(stripBlanks(state_.categories.CategoryName[i])), form->Lstcategory);
            item->setSelected(true);
        }
    }
    Lstcategory_Change();

    menus->showExportChecks(*model_);
    syncCategoryBoxes();
    // The weight-based doses box draws on the folder's file of doses per kg.
    showWeightDoseBox(*form->Check1[WeightBasedDoses - 1], state_.dataFolder);
    setTitleLabel(stripBlanks(model_->header().TestTitle));
    showFields(model_->field(0), model_->field(1), model_->field(2));
    applyStatus(model_->buttonstatus());
}

// ---------------------------------------------------------------- the view

void ExamWindow::Impl::showFields(const std::string& question, const std::string& solution, const std::string& answer)
{
    if (batching_) {
        pendingFields_ = { question, solution, answer };
        fieldsPending_ = true;
        return;
    }
    // The model already holds these bytes. A field may show them slightly changed (a
    // lone CR becomes a line break), so what it shows is remembered with them: as long
    // as the teacher does not edit the field, the model keeps the exact bytes.
    const std::array<const std::string*, 3> texts { &question, &solution, &answer };
    for (int i = 0; i < 3; ++i) {
        const QString text = toDisplay(*texts[i], fields[i].multiLine());
        {
            const QScopedValueRollback<bool> showing(showing_, true);
            if (fields[i].text() != text)
                fields[i].setText(text);
        }
        shownText_[i] = fields[i].text();
        shownBytes_[i] = *texts[i];
        if (model_ && model_->field(i) != *texts[i])
            model_->setField(i, *texts[i]);
    }
}

void ExamWindow::Impl::setCountText(const std::string& text)
{
    form->Text1->setText(fromProgram(text));
}

void ExamWindow::Impl::setTitleLabel(const std::string& title)
{
    form->Label5->setText(fromProgram(title));
}

void ExamWindow::Impl::applyStatus(const ButtonStatus& status)
{
    form->Label7->setText(fromProgram(status.fileLabel));
    if (model_)
        form->Label7->setToolTip(
            QFile::decodeName(QByteArray::fromStdString(model_->targets().workingPath().string())));
    form->Label1->setText(fromProgram(status.positionLabel));
    form->Label6->setVisible(!status.complete);
    form->cmdforward[0]->setVisible(status.complete);
    form->cmdforward[1]->setVisible(status.complete);
    form->Command2[0]->setVisible(status.complete);
    form->Command2[1]->setVisible(status.complete);
    menus->mnusave[0]->setVisible(status.saveAsVisible);
}

void ExamWindow::Impl::showStatus(const std::string& text)
{
    owner_.statusBar()->showMessage(fromProgram(text));
}

void ExamWindow::Impl::showSaveTest()
{
    saveTestShown_ = true;
    menus->mnusave[1]->setVisible(true);
}

// ---------------------------------------------------------------- fields

int ExamWindow::Impl::fieldIndexOf(const QObject* widget) const
{
    for (int i = 0; i < FieldCount; ++i)
        if (fields[i].widget() == widget)
            return i;
    return -1;
}

void ExamWindow::Impl::Txtquestion_Change(int field)
{
    if (!model_ || showing_)
        return;
    const QString current = fields[field].text();
    std::string bytes;
    if (current == shownText_[field]) {
        bytes = shownBytes_[field];
    } else {
        // Whatever reached the field other than by typing (an input method, a drop)
        // is brought within Windows-1252 and the limit before the model sees it.
        const bool multi = fields[field].multiLine();
        bytes = cutStored(toStored(current, multi), fields[field].limit());
        const QString fitted = toDisplay(bytes, multi);
        if (fitted != current) {
            fields[field].setText(fitted);
            return; // the change event of that correction reports it
        }
    }
    if (model_->field(field) != bytes)
        model_->setField(field, bytes);
}

void ExamWindow::Impl::Text1_Change()
{
    // A paste is not filtered here (the count reads the leading number), but the
    // text stays within Windows-1252.
    const QString current = form->Text1->text();
    const QString shown = toDisplay(toStored(current, false), false);
    if (shown != current)
        form->Text1->setText(shown);
}

// Key presses of the four text fields. Returns true when the key is consumed.
bool ExamWindow::Impl::keyPress(QWidget* widget, QKeyEvent* event)
{
    const int index = fieldIndexOf(widget);
    if (index < 0)
        return false;

    const std::array<QKeySequence::StandardKey, 3> editKeys { QKeySequence::Cut, QKeySequence::Copy,
        QKeySequence::Paste };
    for (int i = 0; i < 3; ++i) {
        if (event->matches(editKeys[i])) {
            editField(i, index);
            return true;
        }
    }

    const QString text = event->text();
    const bool deleting = event->key() == Qt::Key_Delete;
    if (!holdsOnlyProgramCharacters(text))
        return true;

    if (index == 3) {
        // The count box takes digits, control keys, the blank and characters above 127.
        if (text.size() == 1 && !deleting) {
            const char16_t code = text.at(0).unicode();
            if ((code >= 33 && code <= 47) || (code >= 58 && code <= 127))
                return true;
        }
        return false;
    }

    if ((text.isEmpty() && !deleting) || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        return false;

    // A printable character or a line break must fit within the field's limit.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && index == 2)
        return false;
    const bool adds = enter || (!text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127);
    if (adds && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        if (!fields[index].hasRoomFor(enter ? 2 : toStored(text, false).size()))
            return true;
    }
    if (model_)
        model_->keyTyped();
    return false;
}

// ---------------------------------------------------------------- commands

void ExamWindow::Impl::command(const std::function<void(ExamModel&)>& run)
{
    // Without a model (its set-up failed and the window is closing) there is nothing to do.
    if (model_)
        run(*model_);
}

void ExamWindow::Impl::syncCategoryBoxes()
{
    if (!model_)
        return;
    for (int i = 0; i < CategoryBoxCount; ++i) {
        const QSignalBlocker block(form->Check1[i]);
        form->Check1[i]->setChecked(model_->drafter().categoryTicked(i));
    }
}

void ExamWindow::Impl::Check1_Click(int index)
{
    const bool ticked = form->Check1[index]->isChecked();
    command([index, ticked](ExamModel& model) { model.drafter().setCategoryTicked(index, ticked); });
    syncCategoryBoxes();
}

void ExamWindow::Impl::Lstcategory_Change()
{
    std::vector<bool> selected(static_cast<std::size_t>(form->Lstcategory->count()));
    for (int i = 0; i < form->Lstcategory->count(); ++i)
        selected[static_cast<std::size_t>(i)] = form->Lstcategory->item(i)->isSelected();
    command([&selected](ExamModel& model) { model.drafter().setSelectedCategories(std::move(selected)); });
}

void ExamWindow::Impl::Cmdgenerate_Click()
{
    const std::string count = fields[3].stored();
    {
        const QScopedValueRollback<bool> batch(batching_, true);
        command([&count](ExamModel& model) { model.createQuestions(count); });
    }
    if (fieldsPending_) {
        fieldsPending_ = false;
        const auto texts = pendingFields_;
        showFields(texts[0], texts[1], texts[2]);
    }
}

void ExamWindow::Impl::Command1_Click()
{
    command([this](ExamModel& model) {
        {
            DescriptionDialog dialog(model, &owner_);
            dialog.exec();
        }
        model.puttitle();
        setTitleLabel(stripBlanks(model.header().TestTitle));
    });
}

void ExamWindow::Impl::cmdforward_Click(int index)
{
    command([index](ExamModel& model) {
        if (index == 0)
            model.back();
        else if (index == 1)
            model.forward();
        else
            model.deleteQuestion();
    });
}

void ExamWindow::Impl::Command2_Click(int index)
{
    command([index](ExamModel& model) {
        if (index == 0)
            model.backTen();
        else
            model.forwardTen();
    });
}

void ExamWindow::Impl::mnuopen_Click(int index)
{
    command([index](ExamModel& model) {
        if (index == 0)
            model.newTest();
        else
            model.openTest();
    });
}

void ExamWindow::Impl::mnusave_Click(int index)
{
    command([index](ExamModel& model) {
        if (index == 0)
            model.saveAs();
        else
            model.save();
    });
}

void ExamWindow::Impl::mnuop_Click(int entry)
{
    command([entry](ExamModel& model) { model.openListedTest(entry); });
}

void ExamWindow::Impl::numbquest_Click(int index)
{
    command([index](ExamModel& model) { model.options().numbquest_Click(index); });
    if (model_)
        menus->showExportChecks(*model_);
}

void ExamWindow::Impl::tfop_Click(int index)
{
    command([index](ExamModel& model) { model.options().tfop_Click(index); });
    if (model_)
        menus->showExportChecks(*model_);
}

void ExamWindow::Impl::mnuprint_Click(int index)
{
    QtDocumentPrinter printer(&owner_);
    command([this, index, &printer](ExamModel&) {
        if (index == 0)
            printing_->printTest(printer);
        else
            printing_->exportPdf(printer);
    });
}

void ExamWindow::Impl::mnuversions_Click()
{
    const std::string count = fields[3].stored();
    command([this, &count](ExamModel& model) { runClassVersions(&owner_, model, state_, prompts_, count); });
}

// Cut, Copy and paste act on the text field that has the focus, through the
// program's clipboard; any other control leaves them without effect.
void ExamWindow::Impl::copy_Click(int index)
{
    const int field = fieldIndexOf(owner_.focusWidget());
    if (field >= 0)
        editField(index, field);
}

void ExamWindow::Impl::editField(int index, int field)
{
    if (index == 0 || index == 1) {
        prompts_.setClipboardText(toStored(fields[field].selected(), fields[field].multiLine()));
        if (index == 1)
            return;
        fields[field].insert(QString());
    } else {
        fields[field].insert(fromProgram(prompts_.clipboardText()));
    }
    if (field < 3 && model_)
        model_->keyTyped();
}

void ExamWindow::Impl::mnuch_Click()
{
    SettingsWindow settings(state_, &owner_);
    settings.exec();
}

// The test files of the folder at the end of the File menu, each opening its test.
void ExamWindow::Impl::updatefilelist()
{
    std::vector<std::string> names;
    command([&names](ExamModel& model) { names = model.updatefilelist(); });
    const std::vector<QAction*> added = menus->listTests(names);
    for (std::size_t n = 1; n <= added.size(); ++n) {
        const int entry = static_cast<int>(n);
        QObject::connect(added[n - 1], &QAction::triggered, &owner_, [this, entry] { mnuop_Click(entry); });
    }
}

void ExamWindow::Impl::unload()
{
    if (closing_)
        return;
    closing_ = true;
    command([](ExamModel& model) { model.closeTest(); });
}

// ---------------------------------------------------------------- the window

ExamWindow::ExamWindow(AppState& state, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent)
    , impl_(std::make_unique<Impl>(*this, state, prompts))
{
    setObjectName(QStringLiteral("Frmexam"));
    impl_->createWidgets();
    impl_->load();
    impl_->connectWidgets();
}

ExamWindow::~ExamWindow()
{
    // The widgets outlive impl_ for a moment while QWidget deletes them: nothing
    // they emit may reach it any more.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    for (const TextField& field : impl_->fields)
        if (field.widget())
            field.widget()->removeEventFilter(this);
}

void ExamWindow::closeEvent(QCloseEvent* event)
{
    const bool first = !impl_->closing_;
    impl_->unload();
    event->accept();
    if (first)
        emit closed();
}

bool ExamWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && impl_)
        return impl_->keyPress(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event));
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tb
