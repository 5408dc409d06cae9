#pragma once

#include <QMainWindow>

#include <memory>

namespace tb {

struct AppState;
class Prompts;

/// Frmexam, "Dosarion - Test Construction Set": the window in which a teacher builds
/// a test. Its behaviour lives in ExamModel; the window binds its controls to it.
/// One window serves one opening: the start window creates it, hides itself, and shows
/// itself again on closed(), which is emitted once the closing steps have run.
class ExamWindow final : public QMainWindow {
    Q_OBJECT

public:
    ExamWindow(AppState& state, Prompts& prompts, QWidget* parent = nullptr);
    ~ExamWindow() override;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tb
