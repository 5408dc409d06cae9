#include "gui/start/start_window.h"

#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/prompts.h"
#include "gui/common/centreform.h"
#include "gui/common/tool_icons.h"
#include "gui/drugdb/drug_database_window.h"
#include "gui/testbuilder/exam_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace tb {

namespace {

constexpr int PictureSize = 64;

// The rounded face of the title and the Quit button, with a plain bold sans serif
// where it is not installed.
QFont roundedFont(int pointSize)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Arial Rounded MT Bold"), QStringLiteral("Varela Round"),
        QStringLiteral("Nunito"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans") });
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSize(pointSize);
    return font;
}

} // namespace

StartWindow::StartWindow(AppState& state, Prompts& prompts, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , prompts_(prompts)
{
    setObjectName(QStringLiteral("frmstart"));
    setWindowTitle(QStringLiteral("Dosarion - Tutor Bench"));
    setWindowIcon(programIcon());
    createWidgets();
    connectWidgets();
    centreform(*this);
}

StartWindow::~StartWindow()
{
    // The program is ending: the tools go without their closing steps, and without
    // telling this window, which is going too.
    for (auto& tool : tools_) {
        if (tool) {
            tool->disconnect(this);
            delete tool.data();
        }
    }
}

void StartWindow::createWidgets()
{
    SSPanel1_ = new QLabel(QStringLiteral("Tutor Bench"), this);
    SSPanel1_->setObjectName(QStringLiteral("SSPanel1"));
    SSPanel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    SSPanel1_->setLineWidth(3);
    SSPanel1_->setAlignment(Qt::AlignCenter);
    SSPanel1_->setFont(roundedFont(28));
    SSPanel1_->setMargin(10);

    const char* captions[2] = { "Test Construction Set", "Drug Database" };
    const QPixmap pictures[2] = { testSheetPicture(PictureSize), drugBottlePicture(PictureSize) };
    auto* tools = new QHBoxLayout;
    tools->setSpacing(16);
    for (std::size_t i = 0; i < 2; ++i) {
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("Label2_%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setLineWidth(3);
        panel->setFocusPolicy(Qt::StrongFocus);
        panel->setCursor(Qt::PointingHandCursor);
        panel->setAccessibleName(QString::fromLatin1(captions[i]));
        panel->setMinimumSize(230, 150);

        auto* picture = new QLabel(panel);
        picture->setObjectName(QStringLiteral("Image1_%1").arg(i));
        picture->setPixmap(pictures[i]);
        picture->setAlignment(Qt::AlignCenter);
        picture->setFixedSize(PictureSize + 8, PictureSize + 8);

        auto* caption = new QLabel(QString::fromLatin1(captions[i]), panel);
        caption->setAlignment(Qt::AlignCenter);
        QFont captionFont = caption->font();
        captionFont.setBold(true);
        captionFont.setPointSize(captionFont.pointSize() + 2);
        caption->setFont(captionFont);

        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->setContentsMargins(14, 14, 14, 14);
        panelLayout->addWidget(picture, 0, Qt::AlignHCenter);
        panelLayout->addWidget(caption, 0, Qt::AlignHCenter);

        Label2_[i] = panel;
        Label2Caption_[i] = caption;
        Image1_[i] = picture;
        tools->addWidget(panel);
        showFocus(static_cast<int>(i), false);
    }

    Label3_ = new QLabel(this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Label3_->setText(QStringLiteral("Builds dosage-calculation tests for Dosarion and keeps its drug database."));
    Label3_->setAlignment(Qt::AlignCenter);

    Quit_ = new QPushButton(QStringLiteral("&Quit"), this);
    Quit_->setObjectName(QStringLiteral("Quit"));
    Quit_->setFont(roundedFont(11));
    Quit_->setMinimumWidth(90);

    Label4_ = new QLabel(this);
    Label4_->setObjectName(QStringLiteral("Label4"));
    Label4_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label4_->setFixedHeight(8);
    Label4_->setBackgroundRole(QPalette::Mid);
    Label4_->setAutoFillBackground(true);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Quit_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 10);
    layout->setSpacing(14);
    layout->addWidget(SSPanel1_);
    layout->addLayout(tools);
    layout->addWidget(Label3_);
    layout->addLayout(bottom);
    layout->addWidget(Label4_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Tab runs left to right: the two tools, then Quit.
    setTabOrder(Label2_[0], Label2_[1]);
    setTabOrder(Label2_[1], Quit_);
    Label2_[0]->setFocus();
}

void StartWindow::connectWidgets()
{
    for (std::size_t i = 0; i < 2; ++i) {
        Label2_[i]->installEventFilter(this);
        Image1_[i]->installEventFilter(this);
    }
    connect(Quit_, &QPushButton::clicked, this, &StartWindow::Quit_Click);
}

bool StartWindow::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 2; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const bool isPanel = watched == Label2_[index];
        const bool isPicture = watched == Image1_[index];
        if (!isPanel && !isPicture)
            continue;
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // Taken here, so that the release arrives here too.
            return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            if (widget->rect().contains(mouse->position().toPoint())) {
                if (isPicture)
                    Image1_Click(i);
                else
                    Label2_Click(i);
            }
            return true;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (isPanel && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
                Label2_Click(i);
                return true;
            }
            return false;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (isPanel)
                showFocus(i, event->type() == QEvent::FocusIn);
            return false;
        default:
            return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StartWindow::showFocus(int index, bool focused)
{
    // A dotted frame round the caption marks the panel that Enter would open.
    Label2Caption_[static_cast<std::size_t>(index)]->setStyleSheet(focused
            ? QStringLiteral("QLabel { border: 1px dotted palette(window-text); padding: 2px 6px; }")
            : QStringLiteral("QLabel { border: 1px solid transparent; padding: 2px 6px; }"));
}

QWidget* StartWindow::createTool(int index)
{
    if (index == 0) {
        auto* window = new ExamWindow(state_, prompts_);
        connect(window, &ExamWindow::closed, this, [this] { toolClosed(0); });
        return window;
    }
    auto* window = new DrugDatabaseWindow(state_, prompts_);
    connect(window, &DrugDatabaseWindow::closed, this, [this] { toolClosed(1); });
    return window;
}

void StartWindow::Label2_Click(int index)
{
    if (index < 0 || index > 1)
        return;
    auto& slot = tools_[static_cast<std::size_t>(index)];
    try {
        if (!slot) {
            QWidget* tool = createTool(index);
            slot = tool;
            // Should a tool go away without saying so, the program must not be left
            // without a visible window.
            connect(tool, &QObject::destroyed, this, [this] {
                if (!isVisible())
                    show();
            });
        }
        slot->show();
        slot->raise();
        slot->activateWindow();
        // A tool that closed itself while opening (say, on a missing file) leaves the
        // start window as it was.
        if (slot && slot->isVisible())
            hide();
    } catch (const std::exception& e) {
        prompts_.message(toCp1252(e.what()), "");
    } catch (...) {
        prompts_.message("The tool could not be opened.", "");
    }
}

QWidget* StartWindow::toolWindow(int index) const
{
    if (index < 0 || index > 1)
        return nullptr;
    return tools_[static_cast<std::size_t>(index)].data();
}

void StartWindow::toolClosed(int index)
{
    auto& slot = tools_[static_cast<std::size_t>(index)];
    if (QWidget* tool = slot.data()) {
        slot = nullptr;
        // The next click builds the tool afresh, as its closing steps ended its work.
        tool->disconnect(this);
        tool->hide();
        tool->deleteLater();
    }
    show();
    raise();
    activateWindow();
}

void StartWindow::Quit_Click()
{
    close();
}

void StartWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}

} // namespace tb
