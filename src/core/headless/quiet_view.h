#pragma once

#include "core/testbuilder/exam_model.h"

#include <string>

namespace tb::headless {

/// A test view that shows nothing.
class QuietView final : public ExamView {
public:
    void showFields(const std::string&, const std::string&, const std::string&) override { }
    void setCountText(const std::string&) override { }
    void setTitleLabel(const std::string&) override { }
    void applyStatus(const ButtonStatus&) override { }
    void showSaveTest() override { }
};

} // namespace tb::headless
