// What the robot does to and reads from another program's windows. Input
// goes in only as a user's would arrive: clicks on buttons, keys to the
// focused control, system-menu commands. Texts are UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// Starts the program with its arguments (quoted as needed); false with *error.
bool StartProgram(const std::vector<std::string>& arguments, PROCESS_INFORMATION* started,
                  std::string* error);

// A visible top-level window of the process (any process when processId is
// 0) whose caption is `title` ("*" for any) and, when templateId is not 0,
// whose controls are those of that wizard page; windows in `skip` and message
// boxes do not count. Null when there is none.
HWND FindWizardWindow(DWORD processId, const std::string& title, int templateId,
                      const std::vector<HWND>& skip);

// A visible message box of the process, or null.
HWND FindMessageBox(DWORD processId);

// Whether templateId names a page the robot can recognise.
bool IsKnownTemplate(int templateId);

// The text of a window or control, line ends as "\n".
std::string ReadText(HWND window);

// The message box's text (without its caption).
std::string MessageBoxText(HWND box);

bool IsChecked(HWND control);

// Position of a progress bar; -1 when it does not answer.
int ProgressPosition(HWND bar);

// Presses a button as a mouse click does, and gives the program a moment to
// handle it.
void ClickButton(HWND button);

// Replaces the edit's text as selecting all and typing would.
void TypeText(HWND edit, const std::string& text);

// Presses a named key ("escape", "enter", "tab", "space", "up", "down",
// "left", "right", "alt+X" for a letter or digit X) in the window's focused
// control; false for an unknown name.
bool PressKey(HWND window, const std::string& name);

// Sends a system-menu command (SC_CLOSE, or a command the program added).
void SendSystemCommand(HWND window, WPARAM command);

// Lists every child control of the window: id, class, text and states.
std::string DescribeControls(HWND window);
