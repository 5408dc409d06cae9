#include "gui/testbuilder/exam_form.h"

#include "gui/common/text_field.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tb {

QString PathLabel::caption() const
{
    const QString shown = text();
    const qsizetype end = shown.indexOf(QLatin1String(": "));
    return end < 0 ? QString() : shown.left(end + 2);
}

QSize PathLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize PathLabel::minimumSizeHint() const
{
    // The caption and a few letters of the path; the rest is elided.
    const QSize whole = QLabel::minimumSizeHint();
    const QMargins margins = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(caption() + QStringLiteral("/\u2026/xx")) + margins.left()
        + margins.right() + 2 * margin();
    return { qMin(whole.width(), width), whole.height() };
}

void PathLabel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    const QString head = caption();
    const QString path = text().mid(head.size());
    const int headWidth = fontMetrics().horizontalAdvance(head);
    const QString shown = head + fontMetrics().elidedText(path, Qt::ElideMiddle, qMax(0, room.width() - headWidth));
    style()->drawItemText(
        &painter, room, static_cast<int>(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

ExamForm::ExamForm(QMainWindow& window)
{
    window.setWindowTitle(QStringLiteral("Dosarion - Test Construction Set"));

    auto* central = new QWidget(&window);
    central->setObjectName(QStringLiteral("central"));
    window.setCentralWidget(central);

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
    Label7 = new PathLabel(QStringLiteral("File : "), central);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setTextFormat(Qt::PlainText);
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
        + window.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12;
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
        button->setIcon(window.style()->standardIcon(pictures[i]));
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
        "Fluid Dosages", "IV Drop Rates", "Infusion Pump Rates", "Infusion Times", "Weight-Based Doses",
        "Units: Heparin and Insulin" };
    for (int i = 0; i < CategoryBoxCount; ++i) {
        Check1[i] = new QCheckBox(QString::fromLatin1(categories[i]), central);
        Check1[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        Check1[i]->setChecked(i < 4); // the boxes after the first four start unticked
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
}

} // namespace tb
