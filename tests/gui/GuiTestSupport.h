#pragma once
// Helpers for driving the desktop host's widgets in offscreen tests: waiting
// for a modal window to appear (a message box or dialog opened inside a
// nested event loop), and doing with the mouse what a user does to combo and
// list boxes.
#include <functional>
#include <string>

#include <QString>

class QComboBox;
class QListWidget;
class QWidget;

namespace guitest {

// Runs `handle` once, from the event loop, on the first modal widget that
// appears (and is not `ignore`) within a few seconds; a test that expected
// one and saw none fails on its own check afterwards.
void WhenModal(const std::function<void(QWidget*)>& handle, QWidget* ignore = nullptr);

// Opens the combo's pop-up list and clicks the row with this text. False when
// the row is missing or the click did not select it.
bool ChooseComboItem(QComboBox* combo, const QString& text);
// Clicks the row with this text.
bool ClickListItem(QListWidget* list, const QString& text);

QString U(const char* utf8);

// A scratch folder for one test, removed at its end.
std::string ScratchDir(const std::string& name);

}  // namespace guitest
