#pragma once

namespace tb {

class ExamModel;
class ExamView;
class Prompts;

/// "E&xport for Learning Platform...": asks for a file and writes the test as its working file
/// holds it as Moodle XML, GIFT, a QTI 2.1 package or a Canvas quiz. It reads the test through
/// the model's stored questions and writes through the model's target files. The window owns
/// one and binds the menu entry to it. No exception leaves the command: it becomes a message.
class PlatformExportCommand final {
public:
    PlatformExportCommand(const ExamModel& model, Prompts& prompts, ExamView& view);

    void exportForPlatform();

private:
    const ExamModel& model_;
    Prompts& prompts_;
    ExamView& view_;
};

} // namespace tb
