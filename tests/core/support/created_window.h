#pragma once
// The window model as the creation sequence leaves it, for the tests of the
// views that draw it.
#include "session/window_model.h"

namespace qv::testing {

inline WindowModel createdWindow() {
    WindowModel model;
    model.caption = "QuorvexUpdate v2.7.6.1";
    model.height = 250;
    model.borderIcons.systemMenu = false;
    model.groupBox1.visible = false;
    model.groupBox2.visible = false;
    model.groupBox3.visible = false;
    model.image2.visible = true;
    return model;
}

} // namespace qv::testing
