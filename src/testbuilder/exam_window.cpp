#include "testbuilder/exam_window.h"

#include "shell/centreform.h"
#include "shell/qt_print.h"
#include "startup/app_state.h"
#include "startup/cp1252.h"
#include "startup/prompts.h"
#include "startup/settings_window.h"
#include "testbuilder/class_versions_dialog.h"
#include "testbuilder/description_dialog.h"
#include "testbuilder/exam_model.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <exception>
#include <functional>
#include <vector>

namespace tb {

namespace {

// ---- the one place where window texts and Windows-1252 bytes meet ----

QString fromBytes(const std::string& bytes)
{
    return QString::fromStdString(fromCp1252(bytes));
}

std::string toBytes(const QString& text)
{
    return toCp1252(text.toStdString());
}

// A stored multi-line text shown in a field: CR LF becomes the field's line break.
QString toDisplay(const std::string& bytes, bool multiLine)
{
    QString text = fromBytes(bytes);
    if (multiLine)
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// A field's text as stored: line breaks back to CR LF, every character one byte.
std::string toStored(QString text, bool multiLine)
{
    if (multiLine)
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toBytes(text);
}

// Cuts stored bytes to `limit` without leaving half of a CR LF pair behind.
std::string cutStored(std::string bytes, std::size_t limit)
{
    if (bytes.size() > limit) {
        bytes.resize(limit);
        if (!bytes.empty() && bytes.back() == '\r')
            bytes.pop_back();
    }
    return bytes;
}

// The multi-line field's text exactly as typed: toPlainText() would turn no-break
// spaces into plain blanks, which would lose the NBSP bytes of generated solutions.
QString rawText(const QPlainTextEdit& edit)
{
    QString text = edit.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

bool typedTextFits(const QString& text)
{
    for (const char32_t cp : text.toUcs4())
        if (!cp1252Holds(cp))
            return false;
    return true;
}

/// A multi-line editing field whose pasted and dropped text passes through the
/// window's filter (Windows-1252 only, the field's limit kept).
class FieldEdit final : public QPlainTextEdit {
public:
    using Fitter = std::function<QString(const QString&)>;

    explicit FieldEdit(QWidget* parent)
        : QPlainTextEdit(parent)
    {
    }
    void setFitter(Fitter fitter) { fitter_ = std::move(fitter); }
    /// The size asked for where the screen has room; the minimum size can be far smaller.
    void setPreferredSize(QSize size) { preferred_ = size; }
    QSize sizeHint() const override { return preferred_.isValid() ? preferred_ : QPlainTextEdit::sizeHint(); }

protected:
    void insertFromMimeData(const QMimeData* source) override
    {
        if (!source || !source->hasText())
            return;
        const QString text = fitter_ ? fitter_(source->text()) : source->text();
        textCursor().insertText(text);
        ensureCursorVisible();
    }

private:
    Fitter fitter_;
    QSize preferred_;
};

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
    void createMenus();
    void connectWidgets();
    void load();

    // ExamView
    void showFields(const std::string& question, const std::string& solution, const std::string& answer) override;
    void setCountText(const std::string& text) override;
    void setTitleLabel(const std::string& title) override;
    void applyStatus(const ButtonStatus& status) override;
    void showSaveTest() override;

    // handlers
    void Txtquestion_Change(int field);
    QString fieldText(int field) const;
    void setFieldText(int field, const QString& text);
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

    // Runs a model command; nothing it throws reaches the event loop.
    void guarded(const std::function<void(ExamModel&)>& command) noexcept;
    // Runs a window handler; nothing it throws reaches the event loop.
    void safely(const std::function<void()>& handler) noexcept;
    void report(const std::string& text) noexcept;

    // Texts of the four text fields, in stored form.
    int fieldIndexOf(const QObject* widget) const;
    bool isMultiLine(int index) const { return index < 2; }
    std::string storedText(int index) const;
    QString fitInsert(int index, const QString& text) const;
    void insertIntoField(int index, const QString& text);
    QString selectedText(int index) const;
    void syncExportChecks();
    void syncCategoryBoxes();
    void updatefilelist();

    ExamWindow& owner_;
    AppState& state_;
    Prompts& prompts_;
    std::unique_ptr<ExamModel> model_;
    bool closing_ = false;
    bool showing_ = false;
    // While Create Question runs, only the last question it makes is put into the
    // fields: the window is not repainted in between, so laying out each one would be
    // work nobody sees.
    bool batching_ = false;
    bool fieldsPending_ = false;
    std::array<std::string, 3> pendingFields_;
    std::array<QString, 3> shownText_;
    std::array<std::string, 3> shownBytes_;
    bool saveTestShown_ = false;

    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Lblquestionno = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QLabel*, 3> Label2 {};
    std::array<FieldEdit*, 2> Txtquestion {};
    QLineEdit* txtanswer = nullptr;
    QLabel* Label6 = nullptr;
    std::array<QToolButton*, 3> cmdforward {};
    std::array<QPushButton*, 2> Command2 {};
    std::array<QLabel*, 2> Label3 {};
    QLineEdit* Text1 = nullptr;
    QPushButton* Cmdgenerate = nullptr;
    std::array<QLabel*, 2> Label4 {};
    std::array<QCheckBox*, CategoryBoxCount> Check1 {};
    QListWidget* Lstcategory = nullptr;
    QPushButton* Command1 = nullptr;

    QMenu* fileMenu = nullptr;
    std::array<QAction*, 2> mnuopen {};
    std::array<QAction*, 2> mnusave {};
    std::array<QAction*, 6> numbquest {};
    std::array<QAction*, 5> tfop {};
    QAction* mnuexport = nullptr;
    QAction* mnuversions = nullptr; // "Class &Versions...": V is free in the File menu
    std::array<QAction*, 2> mnuprint {}; // "&Print Test...", "Export as PD&F..."
    QAction* mnuquit = nullptr;
    QAction* bar3 = nullptr;
    std::vector<QAction*> mnuop; // index 0 is the hidden template "0"
    std::array<QAction*, 3> copy {};
    QAction* mnuch = nullptr;

    // The three editing fields and the count box, with their limits in characters.
    std::array<QWidget*, FieldCount> fields {};
    static constexpr std::array<std::size_t, FieldCount> limits { QuestionWidth, SolutionWidth, AnswerWidth, 2 };
};

// ---------------------------------------------------------------- building

void ExamWindow::Impl::createWidgets()
{
    owner_.setWindowTitle(QStringLiteral("Dosarion - Test Construction Set"));

    auto* central = new QWidget(&owner_);
    central->setObjectName(QStringLiteral("central"));
    owner_.setCentralWidget(central);

    auto label = [central](const char* name, const QString& text) {
        auto* l = new QLabel(text, central);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    auto keepSpace = [](QWidget* w) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    };

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int column = QFontMetrics(fixed).horizontalAdvance(QLatin1Char('0'));

    // Title and working file across the top.
    Label5 = label("Label5", QStringLiteral("New Test"));
    QFont titleFont = Label5->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    Label5->setFont(titleFont);
    Label7 = label("Label7", QStringLiteral("File : "));
    Label7->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The current question: Shape1 frames the editing area.
    auto* Shape1 = new QFrame(central);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::StyledPanel);

    Lblquestionno = label("Lblquestionno", QStringLiteral("Question No:"));
    Label1 = label("Label1", QStringLiteral("0 / 0"));
    QFont numberFont = Label1->font();
    numberFont.setBold(true);
    Label1->setFont(numberFont);
    Label1->setMinimumWidth(QFontMetrics(numberFont).horizontalAdvance(QStringLiteral("99 / 99")) + 4);

    const std::array<const char*, 3> fieldCaptions { "Question:", "Help / Solution:", "Answer:" };
    for (int i = 0; i < 3; ++i)
        Label2[i] = label(("Label2_" + std::to_string(i)).c_str(), QString::fromLatin1(fieldCaptions[i]));

    for (int i = 0; i < 2; ++i) {
        auto* edit = new FieldEdit(central);
        edit->setObjectName(QStringLiteral("Txtquestion_%1").arg(i));
        edit->setFont(fixed);
        // The field is wide enough for the columns of every worked solution; only
        // long sentences of prose wrap, at a word boundary.
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        edit->setTabChangesFocus(true);
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        Txtquestion[i] = edit;
    }
    const int lineHeight = QFontMetrics(fixed).lineSpacing();
    const int fieldWidth = column * 118 + 2 * Txtquestion[1]->frameWidth()
        + owner_.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12;
    Txtquestion[0]->setPreferredSize(QSize(fieldWidth, lineHeight * 7 + 12));
    Txtquestion[1]->setPreferredSize(QSize(fieldWidth, lineHeight * 26 + 12));
    // On a small screen the fields shrink before anything is cut.
    Txtquestion[0]->setMinimumSize(fieldWidth / 2, lineHeight * 3 + 12);
    Txtquestion[1]->setMinimumSize(fieldWidth / 2, lineHeight * 6 + 12);

    txtanswer = new QLineEdit(central);
    txtanswer->setObjectName(QStringLiteral("txtanswer"));
    txtanswer->setMaxLength(static_cast<int>(AnswerWidth));
    txtanswer->setFont(fixed);
    txtanswer->setFixedWidth(column * 14 + 12);
    txtanswer->setContextMenuPolicy(Qt::CustomContextMenu);

    Label6 = label("Label6", QStringLiteral("Question and answer fields must be completed"));
    QPalette warning = Label6->palette();
    warning.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    Label6->setPalette(warning);
    keepSpace(Label6);

    // Navigation: back ten, back, forward, forward ten, and delete apart.
    const std::array<QStyle::StandardPixmap, 3> pictures { QStyle::SP_ArrowLeft, QStyle::SP_ArrowRight,
        QStyle::SP_TrashIcon };
    const std::array<const char*, 3> navTips { "Previous question", "Next question (adds a blank one after the last)",
        "Delete this question" };
    for (int i = 0; i < 3; ++i) {
        auto* button = new QToolButton(central);
        button->setObjectName(QStringLiteral("cmdforward_%1").arg(i));
        button->setIcon(owner_.style()->standardIcon(pictures[i]));
        button->setToolTip(QString::fromLatin1(navTips[i]));
        button->setAccessibleName(QString::fromLatin1(navTips[i]));
        button->setIconSize(QSize(22, 22));
        button->setFixedSize(34, 30);
        button->setFocusPolicy(Qt::StrongFocus);
        keepSpace(button);
        cmdforward[i] = button;
    }
    const std::array<const char*, 2> jumpTips { "Back ten questions", "Forward ten questions" };
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(QStringLiteral("|"), central);
        button->setObjectName(QStringLiteral("Command2_%1").arg(i));
        button->setToolTip(QString::fromLatin1(jumpTips[i]));
        button->setAccessibleName(QString::fromLatin1(jumpTips[i]));
        button->setFixedSize(18, 30);
        keepSpace(button);
        Command2[i] = button;
    }

    // Create Question and its options: Shape2 frames them, Line1 parts the two.
    auto* Shape2 = new QFrame(central);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setFrameShape(QFrame::StyledPanel);

    Label3[0] = label("Label3_0", QStringLiteral("Create"));
    Text1 = new QLineEdit(QStringLiteral("1"), central);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(2);
    Text1->setFixedWidth(QFontMetrics(Text1->font()).horizontalAdvance(QStringLiteral("000")) + 14);
    Text1->setAlignment(Qt::AlignRight);
    Text1->setContextMenuPolicy(Qt::CustomContextMenu);
    Label3[1] = label("Label3_1", QStringLiteral("Questions"));
    Cmdgenerate = new QPushButton(QStringLiteral("&Create Question"), central);
    Cmdgenerate->setObjectName(QStringLiteral("Cmdgenerate"));

    auto* Line1 = new QFrame(central);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    Label4[0] = label("Label4_0", QStringLiteral("Question creation options"));
    const std::array<const char*, CategoryBoxCount> categories { "Metric Conversions", "Tablet Dosages",
        "Fluid Dosages", "IV Drop Rates", "Infusion Pump Rates", "Infusion Times" };
    for (int i = 0; i < CategoryBoxCount; ++i) {
        Check1[i] = new QCheckBox(QString::fromLatin1(categories[i]), central);
        Check1[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        Check1[i]->setChecked(i < 4); // the infusion boxes start unticked
    }
    Label4[1] = label("Label4_1", QStringLiteral("Tablet / Fluid Drug Categories:"));
    Lstcategory = new QListWidget(central);
    Lstcategory->setObjectName(QStringLiteral("Lstcategory"));
    Lstcategory->setSelectionMode(QAbstractItemView::MultiSelection);
    Lstcategory->setMinimumHeight(QFontMetrics(Lstcategory->font()).lineSpacing() * 8);
    Command1 = new QPushButton(QStringLiteral("&Test Description"), central);
    Command1->setObjectName(QStringLiteral("Command1"));

    // Layout of the editing area.
    auto* left = new QVBoxLayout(Shape1);
    auto* position = new QHBoxLayout;
    position->addWidget(Lblquestionno);
    position->addWidget(Label1);
    position->addSpacing(16);
    auto* navigation = new QHBoxLayout;
    navigation->setSpacing(2);
    navigation->addWidget(Command2[0]);
    navigation->addWidget(cmdforward[0]);
    navigation->addWidget(cmdforward[1]);
    navigation->addWidget(Command2[1]);
    position->addLayout(navigation);
    position->addSpacing(24);
    position->addWidget(cmdforward[2]);
    position->addStretch();
    left->addLayout(position);
    left->addWidget(Label2[0]);
    left->addWidget(Txtquestion[0], 1);
    left->addWidget(Label2[1]);
    left->addWidget(Txtquestion[1], 3);
    auto* answerRow = new QHBoxLayout;
    answerRow->addWidget(Label2[2]);
    answerRow->addWidget(txtanswer);
    answerRow->addSpacing(16);
    answerRow->addWidget(Label6);
    answerRow->addStretch();
    left->addLayout(answerRow);

    // Layout of the creation area.
    auto* right = new QVBoxLayout(Shape2);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(Label3[0]);
    countRow->addWidget(Text1);
    countRow->addWidget(Label3[1]);
    countRow->addStretch();
    right->addLayout(countRow);
    right->addWidget(Cmdgenerate);
    right->addSpacing(6);
    right->addWidget(Line1);
    right->addWidget(Label4[0]);
    for (auto* box : Check1)
        right->addWidget(box);
    right->addSpacing(6);
    right->addWidget(Label4[1]);
    right->addWidget(Lstcategory, 1);
    right->addSpacing(6);
    right->addWidget(Command1);

    auto* grid = new QGridLayout(central);
    grid->addWidget(Label5, 0, 0);
    grid->addWidget(Label7, 0, 1);
    grid->addWidget(Shape1, 1, 0);
    grid->addWidget(Shape2, 1, 1);
    grid->setColumnStretch(0, 1);
    Shape2->setFixedWidth(qMax(Shape2->sizeHint().width(),
        QFontMetrics(Label4[1]->font()).horizontalAdvance(QStringLiteral("Tablet / Fluid Drug Categories:")) + 40));

    fields = { Txtquestion[0], Txtquestion[1], txtanswer, Text1 };
    for (int i = 0; i < 2; ++i)
        Txtquestion[i]->setFitter([this, i](const QString& text) { return fitInsert(i, text); });

    // A teacher tabs through the question, then the navigation, then Create Question.
    QWidget::setTabOrder(Txtquestion[0], Txtquestion[1]);
    QWidget::setTabOrder(Txtquestion[1], txtanswer);
    QWidget::setTabOrder(txtanswer, Command2[0]);
    QWidget::setTabOrder(Command2[0], cmdforward[0]);
    QWidget::setTabOrder(cmdforward[0], cmdforward[1]);
    QWidget::setTabOrder(cmdforward[1], Command2[1]);
    QWidget::setTabOrder(Command2[1], cmdforward[2]);
    QWidget::setTabOrder(cmdforward[2], Text1);
    QWidget::setTabOrder(Text1, Cmdgenerate);
    QWidget::setTabOrder(Cmdgenerate, Check1[0]);
    for (int i = 0; i + 1 < CategoryBoxCount; ++i)
        QWidget::setTabOrder(Check1[i], Check1[i + 1]);
    QWidget::setTabOrder(Check1[CategoryBoxCount - 1], Lstcategory);
    QWidget::setTabOrder(Lstcategory, Command1);

    createMenus();
}

void ExamWindow::Impl::createMenus()
{
    QMenuBar* bar = owner_.menuBar();

    auto action = [](QMenu* menu, const QString& name, const char* caption) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(name);
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    fileMenu = bar->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("file"));
    mnuopen[0] = action(fileMenu, QStringLiteral("mnuopen_0"), "&New Test");
    mnuopen[1] = action(fileMenu, QStringLiteral("mnuopen_1"), "&Open Test");
    separator(fileMenu, "bar2");
    mnusave[0] = action(fileMenu, QStringLiteral("mnusave_0"), "Save  &As Test");
    mnusave[1] = action(fileMenu, QStringLiteral("mnusave_1"), "&Save Test");
    mnusave[1]->setVisible(false);

    QMenu* textfileoptions = fileMenu->addMenu(QStringLiteral("Text File &Options"));
    textfileoptions->setObjectName(QStringLiteral("textfileoptions"));
    QMenu* mnutextfileop = textfileoptions->addMenu(QStringLiteral("&Numbering Questions"));
    mnutextfileop->setObjectName(QStringLiteral("mnutextfileop"));
    const std::array<const char*, 6> numbering { "&No Numbering", "&1 Question [Number].", "&2 Number [Number].",
        "&3 ([Number]).", "&4 No. [Number].", "&5 [Number]." };
    for (int i = 0; i < 6; ++i) {
        numbquest[i] = action(mnutextfileop, QStringLiteral("numbquest_%1").arg(i), numbering[i]);
        numbquest[i]->setCheckable(true);
    }
    const std::array<const char*, 5> includes { "Include &Title", "Include &Description", "Include &Instructions",
        "Include &Answer Key", "Include &Solutions" };
    for (int i = 0; i < 5; ++i) {
        tfop[i] = action(textfileoptions, QStringLiteral("tfop_%1").arg(i), includes[i]);
        tfop[i]->setCheckable(true);
    }
    // Printing follows the text-file options; P and F are the File menu's free access keys.
    mnuprint[0] = action(fileMenu, QStringLiteral("mnuprint_0"), "&Print Test...");
    mnuprint[1] = action(fileMenu, QStringLiteral("mnuprint_1"), "Export as PD&F...");

    mnuexport = action(fileMenu, QStringLiteral("mnuexport"), "E&xport for Learning Platform...");
    mnuversions = action(fileMenu, QStringLiteral("mnuversions"), "Class &Versions...");

    separator(fileMenu, "bar1");
    mnuquit = action(fileMenu, QStringLiteral("mnuquit"), "&Quit");
    bar3 = separator(fileMenu, "bar3");
    bar3->setVisible(false);
    mnuop.push_back(action(fileMenu, QStringLiteral("mnuop_0"), "0"));
    mnuop[0]->setVisible(false);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("edit"));
    const std::array<const char*, 3> editCaptions { "Cu&t", "&Copy", "&paste" };
    const std::array<QKeySequence, 3> editKeys { QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_C),
        QKeySequence(Qt::CTRL | Qt::Key_V) };
    for (int i = 0; i < 3; ++i) {
        copy[i] = action(edit, QStringLiteral("copy_%1").arg(i), editCaptions[i]);
        copy[i]->setShortcut(editKeys[i]);
    }

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("options"));
    mnuch = action(options, QStringLiteral("mnuch"), "&Change General Settings");
}

void ExamWindow::Impl::connectWidgets()
{
    // Every handler runs through `safely`: nothing it throws reaches the event loop.
    auto guard = [this](std::function<void()> handler) { return [this, handler] { safely(handler); }; };

    for (int i = 0; i < 2; ++i)
        QObject::connect(
            Txtquestion[i], &QPlainTextEdit::textChanged, &owner_, guard([this, i] { Txtquestion_Change(i); }));
    QObject::connect(txtanswer, &QLineEdit::textChanged, &owner_, guard([this] { Txtquestion_Change(2); }));
    QObject::connect(Text1, &QLineEdit::textChanged, &owner_, guard([this] { Text1_Change(); }));
    for (QWidget* field : fields) {
        field->installEventFilter(&owner_);
        // A field's own menu is the Edit menu, so that every paste takes the same way.
        QObject::connect(field, &QWidget::customContextMenuRequested, &owner_, [this, field](const QPoint& at) {
            safely([this, field, at] {
                field->setFocus(Qt::PopupFocusReason);
                QMenu menu;
                for (QAction* a : copy)
                    menu.addAction(a);
                menu.exec(field->mapToGlobal(at));
            });
        });
    }

    for (int i = 0; i < CategoryBoxCount; ++i)
        QObject::connect(Check1[i], &QCheckBox::clicked, &owner_, guard([this, i] { Check1_Click(i); }));
    QObject::connect(Lstcategory, &QListWidget::itemSelectionChanged, &owner_, guard([this] { Lstcategory_Change(); }));
    QObject::connect(Cmdgenerate, &QPushButton::clicked, &owner_, guard([this] { Cmdgenerate_Click(); }));
    QObject::connect(Command1, &QPushButton::clicked, &owner_, guard([this] { Command1_Click(); }));
    for (int i = 0; i < 3; ++i)
        QObject::connect(cmdforward[i], &QToolButton::clicked, &owner_, guard([this, i] { cmdforward_Click(i); }));
    for (int i = 0; i < 2; ++i)
        QObject::connect(Command2[i], &QPushButton::clicked, &owner_, guard([this, i] { Command2_Click(i); }));

    for (int i = 0; i < 2; ++i) {
        QObject::connect(mnuopen[i], &QAction::triggered, &owner_, guard([this, i] { mnuopen_Click(i); }));
        QObject::connect(mnusave[i], &QAction::triggered, &owner_, guard([this, i] { mnusave_Click(i); }));
    }
    for (int i = 0; i < 6; ++i)
        QObject::connect(numbquest[i], &QAction::triggered, &owner_, guard([this, i] { numbquest_Click(i); }));
    for (int i = 0; i < 5; ++i)
        QObject::connect(tfop[i], &QAction::triggered, &owner_, guard([this, i] { tfop_Click(i); }));
    QObject::connect(mnuexport, &QAction::triggered, &owner_,
        guard([this] { guarded([](ExamModel& model) { model.exportForPlatform(); }); }));
    for (int i = 0; i < 2; ++i)
        QObject::connect(mnuprint[i], &QAction::triggered, &owner_, guard([this, i] { mnuprint_Click(i); }));
    QObject::connect(mnuversions, &QAction::triggered, &owner_, guard([this] { mnuversions_Click(); }));
    QObject::connect(mnuquit, &QAction::triggered, &owner_, guard([this] { owner_.close(); }));
    for (int i = 0; i < 3; ++i)
        QObject::connect(copy[i], &QAction::triggered, &owner_, guard([this, i] { copy_Click(i); }));
    QObject::connect(mnuch, &QAction::triggered, &owner_, guard([this] { mnuch_Click(); }));
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
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("The test could not be set up.");
    }
    if (!model_) {
        // Without a test there is nothing to edit: close once the caller has shown us.
        owner_.setEnabled(false);
        QTimer::singleShot(0, &owner_, [this] { owner_.close(); });
        return;
    }

    updatefilelist();

    {
        const QSignalBlocker block(Lstcategory);
        const int count = qBound(0, state_.categories.CategoryCount, MaxCategories);
        for (int i = 1; i <= count; ++i) {
            auto* item = new QListWidgetItem(fromBytes(stripBlanks(state_.categories.CategoryName[i])), Lstcategory);
            item->setSelected(true);
        }
    }
    Lstcategory_Change();

    syncExportChecks();
    syncCategoryBoxes();
    setTitleLabel(stripBlanks(model_->header().TestTitle));
    guarded([this](ExamModel& model) {
        showFields(model.field(0), model.field(1), model.field(2));
        applyStatus(model.buttonstatus());
    });
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
        const QString text = toDisplay(*texts[i], isMultiLine(i));
        {
            const QScopedValueRollback<bool> showing(showing_, true);
            if (fieldText(i) != text)
                setFieldText(i, text);
        }
        shownText_[i] = fieldText(i);
        shownBytes_[i] = *texts[i];
        if (model_ && model_->field(i) != *texts[i])
            guarded([i, &texts](ExamModel& model) { model.setField(i, *texts[i]); });
    }
}

void ExamWindow::Impl::setCountText(const std::string& text)
{
    Text1->setText(fromBytes(text));
}

void ExamWindow::Impl::setTitleLabel(const std::string& title)
{
    Label5->setText(fromBytes(title));
}

void ExamWindow::Impl::applyStatus(const ButtonStatus& status)
{
    Label7->setText(fromBytes(status.fileLabel));
    Label1->setText(fromBytes(status.positionLabel));
    Label6->setVisible(!status.complete);
    cmdforward[0]->setVisible(status.complete);
    cmdforward[1]->setVisible(status.complete);
    Command2[0]->setVisible(status.complete);
    Command2[1]->setVisible(status.complete);
    mnusave[0]->setVisible(status.saveAsVisible);
}

void ExamWindow::Impl::showSaveTest()
{
    saveTestShown_ = true;
    mnusave[1]->setVisible(true);
}

// ---------------------------------------------------------------- fields

int ExamWindow::Impl::fieldIndexOf(const QObject* widget) const
{
    for (int i = 0; i < FieldCount; ++i)
        if (fields[i] == widget)
            return i;
    return -1;
}

std::string ExamWindow::Impl::storedText(int index) const
{
    if (index < 2)
        return toStored(rawText(*Txtquestion[index]), true);
    return toStored(static_cast<QLineEdit*>(fields[index])->text(), false);
}

// What of `text` fits into field `index` in place of its selection: characters
// Windows-1252 lacks become "?", and the field's limit is kept.
QString ExamWindow::Impl::fitInsert(int index, const QString& text) const
{
    const bool multi = isMultiLine(index);
    QString incoming = text;
    incoming.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    incoming.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!multi)
        incoming.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const std::size_t used = storedText(index).size() - toStored(selectedText(index), multi).size();
    const std::size_t room = limits[index] > used ? limits[index] - used : 0;
    return toDisplay(cutStored(toStored(incoming, multi), room), multi);
}

void ExamWindow::Impl::insertIntoField(int index, const QString& text)
{
    const QString fitted = fitInsert(index, text);
    if (index < 2) {
        Txtquestion[index]->textCursor().insertText(fitted);
        Txtquestion[index]->ensureCursorVisible();
    } else {
        static_cast<QLineEdit*>(fields[index])->insert(fitted);
    }
}

QString ExamWindow::Impl::selectedText(int index) const
{
    if (index < 2) {
        QString text = Txtquestion[index]->textCursor().selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        text.replace(QChar::LineSeparator, QLatin1Char('\n'));
        return text;
    }
    return static_cast<QLineEdit*>(fields[index])->selectedText();
}

QString ExamWindow::Impl::fieldText(int field) const
{
    return field < 2 ? rawText(*Txtquestion[field]) : txtanswer->text();
}

void ExamWindow::Impl::setFieldText(int field, const QString& text)
{
    if (field < 2)
        Txtquestion[field]->setPlainText(text);
    else
        txtanswer->setText(text);
}

void ExamWindow::Impl::Txtquestion_Change(int field)
{
    if (!model_ || showing_)
        return;
    const QString current = fieldText(field);
    std::string bytes;
    if (current == shownText_[field]) {
        bytes = shownBytes_[field];
    } else {
        // Whatever reached the field other than by typing (an input method, a drop)
        // is brought within Windows-1252 and the limit before the model sees it.
        const bool multi = isMultiLine(field);
        bytes = cutStored(toStored(current, multi), limits[field]);
        const QString fitted = toDisplay(bytes, multi);
        if (fitted != current) {
            setFieldText(field, fitted);
            return; // the change event of that correction reports it
        }
    }
    if (model_->field(field) != bytes)
        guarded([field, &bytes](ExamModel& model) { model.setField(field, bytes); });
}

void ExamWindow::Impl::Text1_Change()
{
    // A paste is not filtered here (the count reads the leading number), but the
    // text stays within Windows-1252.
    const QString current = Text1->text();
    const QString shown = toDisplay(toStored(current, false), false);
    if (shown != current)
        Text1->setText(shown);
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
    if (!typedTextFits(text))
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
        const std::size_t adding = enter ? 2 : toStored(text, false).size();
        const std::size_t used = storedText(index).size() - toStored(selectedText(index), isMultiLine(index)).size();
        if (used + adding > limits[index])
            return true;
    }
    guarded([](ExamModel& model) { model.keyTyped(); });
    return false;
}

// ---------------------------------------------------------------- commands

void ExamWindow::Impl::guarded(const std::function<void(ExamModel&)>& command) noexcept
{
    if (!model_)
        return;
    try {
        command(*model_);
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("An unexpected error stopped the command.");
    }
}

void ExamWindow::Impl::safely(const std::function<void()>& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("An unexpected error stopped the command.");
    }
}

void ExamWindow::Impl::report(const std::string& text) noexcept
{
    try {
        prompts_.message(text, std::string());
    } catch (...) {
        // The message itself failed; nothing more can be shown.
    }
}

void ExamWindow::Impl::syncCategoryBoxes()
{
    if (!model_)
        return;
    for (int i = 0; i < CategoryBoxCount; ++i) {
        const QSignalBlocker block(Check1[i]);
        Check1[i]->setChecked(model_->categoryTicked(i));
    }
}

void ExamWindow::Impl::Check1_Click(int index)
{
    guarded([this, index](ExamModel& model) { model.setCategoryTicked(index, Check1[index]->isChecked()); });
    syncCategoryBoxes();
}

void ExamWindow::Impl::Lstcategory_Change()
{
    std::vector<bool> selected(static_cast<std::size_t>(Lstcategory->count()));
    for (int i = 0; i < Lstcategory->count(); ++i)
        selected[static_cast<std::size_t>(i)] = Lstcategory->item(i)->isSelected();
    guarded([&selected](ExamModel& model) { model.setSelectedCategories(std::move(selected)); });
}

void ExamWindow::Impl::Cmdgenerate_Click()
{
    const std::string count = toStored(Text1->text(), false);
    {
        const QScopedValueRollback<bool> batch(batching_, true);
        guarded([&count](ExamModel& model) { model.createQuestions(count); });
    }
    if (fieldsPending_) {
        fieldsPending_ = false;
        const auto texts = pendingFields_;
        showFields(texts[0], texts[1], texts[2]);
    }
}

void ExamWindow::Impl::Command1_Click()
{
    guarded([this](ExamModel& model) {
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
    guarded([index](ExamModel& model) {
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
    guarded([index](ExamModel& model) {
        if (index == 0)
            model.backTen();
        else
            model.forwardTen();
    });
}

void ExamWindow::Impl::mnuopen_Click(int index)
{
    guarded([index](ExamModel& model) {
        if (index == 0)
            model.newTest();
        else
            model.openTest();
    });
}

void ExamWindow::Impl::mnusave_Click(int index)
{
    guarded([index](ExamModel& model) {
        if (index == 0)
            model.saveAs();
        else
            model.save();
    });
}

void ExamWindow::Impl::mnuop_Click(int entry)
{
    guarded([entry](ExamModel& model) { model.openListedTest(entry); });
}

void ExamWindow::Impl::syncExportChecks()
{
    if (!model_)
        return;
    for (int i = 0; i < 6; ++i)
        numbquest[i]->setChecked(model_->numberingStyle() == i);
    for (int i = 0; i < 5; ++i)
        tfop[i]->setChecked(model_->includeOption(i));
}

void ExamWindow::Impl::numbquest_Click(int index)
{
    guarded([index](ExamModel& model) { model.numbquest_Click(index); });
    syncExportChecks();
}

void ExamWindow::Impl::tfop_Click(int index)
{
    guarded([index](ExamModel& model) { model.tfop_Click(index); });
    syncExportChecks();
}

void ExamWindow::Impl::mnuprint_Click(int index)
{
    QtDocumentPrinter printer(&owner_);
    guarded([index, &printer](ExamModel& model) {
        if (index == 0)
            model.printTest(printer);
        else
            model.exportPdf(printer);
    });
}

void ExamWindow::Impl::mnuversions_Click()
{
    const std::string count = toStored(Text1->text(), false);
    guarded([this, &count](ExamModel& model) { runClassVersions(&owner_, model, state_, prompts_, count); });
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
    try {
        if (index == 0 || index == 1) {
            prompts_.setClipboardText(toStored(selectedText(field), isMultiLine(field)));
            if (index == 1)
                return;
            insertIntoField(field, QString());
        } else {
            insertIntoField(field, fromBytes(prompts_.clipboardText()));
        }
        if (field < 3)
            guarded([](ExamModel& model) { model.keyTyped(); });
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("The clipboard could not be used.");
    }
}

void ExamWindow::Impl::mnuch_Click()
{
    try {
        SettingsWindow settings(state_, &owner_);
        settings.exec();
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("The settings could not be shown.");
    }
}

// The test files of the folder at the end of the File menu, each opening its test.
void ExamWindow::Impl::updatefilelist()
{
    std::vector<std::string> names;
    guarded([&names](ExamModel& model) { names = model.updatefilelist(); });
    for (std::size_t n = 1; n <= names.size(); ++n) {
        const int entry = static_cast<int>(n);
        QAction* item = fileMenu->addAction(fromBytes(ExamModel::listCaption(entry, names[n - 1])));
        item->setObjectName(QStringLiteral("mnuop_%1").arg(entry));
        QObject::connect(item, &QAction::triggered, &owner_, [this, entry] { mnuop_Click(entry); });
        mnuop.push_back(item);
    }
    bar3->setVisible(!names.empty());
    mnuop[0]->setVisible(false);
}

void ExamWindow::Impl::unload()
{
    if (closing_)
        return;
    closing_ = true;
    guarded([](ExamModel& model) { model.closeTest(); });
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
    for (QWidget* field : impl_->fields)
        if (field)
            field->removeEventFilter(this);
    for (FieldEdit* edit : impl_->Txtquestion)
        if (edit)
            edit->setFitter(nullptr);
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
    if (event->type() == QEvent::KeyPress && impl_) {
        try {
            return impl_->keyPress(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event));
        } catch (...) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tb
