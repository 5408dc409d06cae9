#pragma once

#include "testbuilder/test_model.h"

namespace tb::fuzz {

/// A test window that shows nothing: the fuzz targets drive the model alone.
class QuietView final : public TestView {
public:
    void showFields(const std::string&, const std::string&, const std::string&) override { }
    void setCountText(const std::string&) override { }
    void setTitleLabel(const std::string&) override { }
    void applyStatus(const ButtonStatus&) override { }
    void showSaveTest() override { }
};

} // namespace tb::fuzz
