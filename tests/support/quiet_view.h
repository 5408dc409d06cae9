#pragma once

#include "testbuilder/exam_model.h"

#include <string>

namespace tb::testing {

/// A test view that shows nothing; it keeps only the title label it was given.
class QuietView final : public ExamView {
public:
    void showFields(const std::string&, const std::string&, const std::string&) override { }
    void setCountText(const std::string&) override { }
    void setTitleLabel(const std::string& title) override { titleLabel = title; }
    void applyStatus(const ButtonStatus&) override { }
    void showSaveTest() override { }

    std::string titleLabel;
};

} // namespace tb::testing
