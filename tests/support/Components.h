#pragma once
// The components of a window, found by the object names its form gives them,
// as a user finds them by their place. A name the window does not have fails
// the test program at once.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "widgets/StringGrid.h"
#include "widgets/TabStrip.h"

namespace morvane::testing {

inline const QWidget* WindowOf(const QWidget* window) {
    return window;
}
template <class Window>
const QWidget* WindowOf(const std::unique_ptr<Window>& window) {
    return window.get();
}

template <class Component>
Component* Find(const auto& windowRef, const char* name) {
    const QWidget* window = WindowOf(windowRef);
    auto* found = window->findChild<Component*>(QString::fromLatin1(name));
    if (found == nullptr) {
        std::fprintf(stderr, "the window has no component %s of the expected class\n", name);
        std::abort();
    }
    return found;
}

inline QPushButton* Button(const auto& window, const char* name) {
    return Find<QPushButton>(window, name);
}
inline widgets::StringGrid* Grid(const auto& window, const char* name) {
    return Find<widgets::StringGrid>(window, name);
}
inline widgets::TabStrip* Tabs(const auto& window, const char* name) {
    return Find<widgets::TabStrip>(window, name);
}
inline QLineEdit* Edit(const auto& window, const char* name) {
    return Find<QLineEdit>(window, name);
}
inline QLabel* Label(const auto& window, const char* name) {
    return Find<QLabel>(window, name);
}

}  // namespace morvane::testing
