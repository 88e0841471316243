// The UI robot: runs a script of steps against a program's windows and writes
// a transcript of what it saw and did. Exit code 0 when every step passed,
// 1 when a step failed (the transcript ends with it), 2 on a usage or script
// error. The commands are described in README.md beside this file.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/robot/robot_script.h"
#include "tests/robot/robot_windows.h"

namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr WPARAM kInfoCommand = 10283;
constexpr DWORD kPaintSettleMs = 500;

struct Robot {
    std::map<std::string, std::string> variables;
    PROCESS_INFORMATION program = {};
    bool running = false;
    HWND window = nullptr;
    std::vector<HWND> seen; // windows wait-window has already taken
    DWORD timeoutMs = kDefaultTimeoutMs;
    std::string shotDirectory;
};

using Words = std::vector<std::string>; // the step's arguments, command left out

struct Outcome {
    bool passed;
    std::string note;
};

Outcome Pass(const std::string& note = "") {
    return {true, note};
}
Outcome Fail(const std::string& note) {
    return {false, note};
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return quoted + "\"";
}

bool ParseNumber(const std::string& word, long* value) {
    char* end = nullptr;
    *value = std::strtol(word.c_str(), &end, 10);
    return !word.empty() && *end == '\0';
}

bool ParseFlag(const std::string& word, bool* value) {
    *value = word == "true";
    return word == "true" || word == "false";
}

template <typename Condition> bool WaitFor(DWORD limitMs, Condition condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= limitMs) {
            return false;
        }
        Sleep(kPollMs);
    }
}

DWORD ProgramId(const Robot& robot) {
    return robot.running ? robot.program.dwProcessId : 0;
}

// The control of the current window named by an id word; null with *error.
HWND FindControl(const Robot& robot, const std::string& idWord, std::string* error) {
    long id = 0;
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        *error = "no current window";
        return nullptr;
    }
    if (!ParseNumber(idWord, &id)) {
        *error = "not a control id: " + idWord;
        return nullptr;
    }
    HWND control = GetDlgItem(robot.window, static_cast<int>(id));
    if (control == nullptr) {
        *error = "no control " + idWord;
    }
    return control;
}

Outcome SetVariable(Robot& robot, const Words& words) {
    robot.variables[words[0]] = words[1];
    return Pass();
}

Outcome SetTimeout(Robot& robot, const Words& words) {
    long limit = 0;
    if (!ParseNumber(words[0], &limit) || limit < 0) {
        return Fail("not a time: " + words[0]);
    }
    robot.timeoutMs = static_cast<DWORD>(limit);
    return Pass();
}

Outcome Start(Robot& robot, const Words& words) {
    if (robot.running) {
        return Fail("a program is already running");
    }
    if (robot.program.hProcess != nullptr) {
        CloseHandle(robot.program.hProcess);
        CloseHandle(robot.program.hThread);
        robot.program = {};
    }
    std::string error;
    if (!StartProgram(words, &robot.program, &error)) {
        return Fail(error);
    }
    robot.running = true;
    return Pass("process " + std::to_string(robot.program.dwProcessId));
}

int TemplateOf(const Words& words, size_t index) {
    long templateId = 0;
    if (words.size() > index && (!ParseNumber(words[index], &templateId) ||
                                 !IsKnownTemplate(static_cast<int>(templateId)))) {
        return -1;
    }
    return static_cast<int>(templateId);
}

Outcome SelectWindow(Robot& robot, const Words& words, bool onlyNew) {
    int templateId = TemplateOf(words, 1);
    if (templateId < 0) {
        return Fail("unknown page template " + words[1]);
    }
    const std::vector<HWND> none;
    HWND found = nullptr;
    bool appeared = WaitFor(robot.timeoutMs, [&] {
        found =
            FindWizardWindow(ProgramId(robot), words[0], templateId, onlyNew ? robot.seen : none);
        return found != nullptr;
    });
    if (!appeared) {
        return Fail("no such window within " + std::to_string(robot.timeoutMs) + " ms");
    }
    robot.window = found;
    robot.seen.push_back(found);
    return Pass("window " + Quote(ReadText(found)));
}

Outcome WaitWindow(Robot& robot, const Words& words) {
    return SelectWindow(robot, words, true);
}
Outcome UseWindow(Robot& robot, const Words& words) {
    return SelectWindow(robot, words, false);
}

Outcome ExpectCaption(Robot& robot, const Words& words) {
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    std::string caption = ReadText(robot.window);
    return caption == words[0] ? Pass() : Fail("caption is " + Quote(caption));
}

Outcome CompareText(Robot& robot, const Words& words, bool whole) {
    std::string error;
    HWND control = FindControl(robot, words[0], &error);
    if (control == nullptr) {
        return Fail(error);
    }
    std::string text;
    bool matches = WaitFor(robot.timeoutMs, [&] {
        text = ReadText(control);
        return whole ? text == words[1] : text.find(words[1]) != std::string::npos;
    });
    return matches ? Pass() : Fail("text is " + Quote(text));
}

Outcome ExpectText(Robot& robot, const Words& words) {
    return CompareText(robot, words, true);
}
Outcome ExpectTextContains(Robot& robot, const Words& words) {
    return CompareText(robot, words, false);
}

using StateReader = bool (*)(HWND control);

Outcome CompareState(Robot& robot, const Words& words, StateReader read, const char* what) {
    std::string error;
    HWND control = FindControl(robot, words[0], &error);
    bool expected = false;
    if (control == nullptr) {
        return Fail(error);
    }
    if (!ParseFlag(words[1], &expected)) {
        return Fail("expected true or false, not " + words[1]);
    }
    bool actual = !expected;
    WaitFor(robot.timeoutMs, [&] { return (actual = read(control)) == expected; });
    return actual == expected ? Pass()
                              : Fail(std::string(what) + " is " + (actual ? "true" : "false"));
}

Outcome ExpectVisible(Robot& robot, const Words& words) {
    return CompareState(
        robot, words, [](HWND control) { return IsWindowVisible(control) != FALSE; }, "visible");
}

Outcome ExpectEnabled(Robot& robot, const Words& words) {
    return CompareState(
        robot, words, [](HWND control) { return IsWindowEnabled(control) != FALSE; }, "enabled");
}

Outcome ExpectChecked(Robot& robot, const Words& words) {
    return CompareState(robot, words, IsChecked, "checked");
}

Outcome ExpectProgress(Robot& robot, const Words& words) {
    std::string error;
    HWND bar = FindControl(robot, words[0], &error);
    long expected = 0;
    if (bar == nullptr) {
        return Fail(error);
    }
    if (!ParseNumber(words[1], &expected)) {
        return Fail("not a number: " + words[1]);
    }
    int position = -1;
    WaitFor(robot.timeoutMs, [&] { return (position = ProgressPosition(bar)) == expected; });
    return position == expected ? Pass() : Fail("position is " + std::to_string(position));
}

// Nothing may happen for a while: the window stays and asks nothing.
Outcome ExpectStays(Robot& robot, const Words& words) {
    long period = 0;
    if (!ParseNumber(words[0], &period) || period < 0) {
        return Fail("not a time: " + words[0]);
    }
    std::string change;
    WaitFor(static_cast<DWORD>(period), [&] {
        if (robot.window == nullptr || !IsWindow(robot.window) || !IsWindowVisible(robot.window)) {
            change = "the window closed";
        } else if (FindMessageBox(ProgramId(robot)) != nullptr) {
            change = "a message box opened";
        }
        return !change.empty();
    });
    return change.empty() ? Pass() : Fail(change);
}

Outcome WaitGone(Robot& robot, const Words&) {
    if (robot.window == nullptr) {
        return Fail("no current window");
    }
    HWND window = robot.window;
    if (!WaitFor(robot.timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); })) {
        return Fail("the window is still open");
    }
    robot.window = nullptr;
    return Pass();
}

Outcome Click(Robot& robot, const Words& words) {
    std::string error;
    HWND button = FindControl(robot, words[0], &error);
    if (button == nullptr) {
        return Fail(error);
    }
    if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
        return Fail("control " + words[0] + " cannot be clicked: hidden or disabled");
    }
    std::string label = ReadText(button);
    ClickButton(button);
    return Pass("clicked " + Quote(label));
}

Outcome Type(Robot& robot, const Words& words) {
    std::string error;
    HWND edit = FindControl(robot, words[0], &error);
    if (edit == nullptr) {
        return Fail(error);
    }
    if (!IsWindowVisible(edit) || !IsWindowEnabled(edit)) {
        return Fail("control " + words[0] + " cannot take input: hidden or disabled");
    }
    TypeText(edit, words[1]);
    return Pass("text now " + Quote(ReadText(edit)));
}

Outcome Key(Robot& robot, const Words& words) {
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    return PressKey(robot.window, words[0]) ? Pass() : Fail("unknown key " + words[0]);
}

Outcome SystemCommand(Robot& robot, WPARAM command) {
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    SendSystemCommand(robot.window, command);
    return Pass();
}

Outcome Close(Robot& robot, const Words&) {
    return SystemCommand(robot, SC_CLOSE);
}
Outcome Info(Robot& robot, const Words&) {
    return SystemCommand(robot, kInfoCommand);
}

Outcome SysCommand(Robot& robot, const Words& words) {
    long command = 0;
    if (!ParseNumber(words[0], &command) || command < 0) {
        return Fail("not a command number: " + words[0]);
    }
    return SystemCommand(robot, static_cast<WPARAM>(command));
}

// As dragging the window by its caption does.
Outcome DragWindow(Robot& robot, const Words& words) {
    long left = 0;
    long top = 0;
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    if (!ParseNumber(words[0], &left) || !ParseNumber(words[1], &top)) {
        return Fail("not a position: " + words[0] + " " + words[1]);
    }
    SetWindowPos(robot.window, nullptr, static_cast<int>(left), static_cast<int>(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return Pass();
}

int ButtonOfAnswer(const std::string& answer) {
    static const std::map<std::string, int> buttons = {
        {"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};
    auto button = buttons.find(answer);
    return button == buttons.end() ? 0 : button->second;
}

Outcome AnswerMessageBox(Robot& robot, const Words& words) {
    int buttonId = ButtonOfAnswer(words[0]);
    if (buttonId == 0) {
        return Fail("unknown answer " + words[0]);
    }
    HWND box = nullptr;
    if (!WaitFor(robot.timeoutMs, [&] { return (box = FindMessageBox(ProgramId(robot))); })) {
        return Fail("no message box within " + std::to_string(robot.timeoutMs) + " ms");
    }
    std::string caption = ReadText(box);
    std::string text = MessageBoxText(box);
    std::string seen = "message box " + Quote(caption) + ": " + Quote(text);
    if ((words.size() > 1 && caption != words[1]) || (words.size() > 2 && text != words[2])) {
        return Fail("unexpected " + seen);
    }
    HWND button = GetDlgItem(box, buttonId);
    if (button == nullptr || !IsWindowVisible(button)) {
        return Fail(seen + " has no button " + words[0]);
    }
    ClickButton(button);
    if (!WaitFor(robot.timeoutMs, [&] { return !IsWindow(box); })) {
        return Fail(seen + " stayed open");
    }
    return Pass(seen);
}

Outcome ExpectNoMessageBox(Robot& robot, const Words& words) {
    long period = 0;
    if (!ParseNumber(words[0], &period) || period < 0) {
        return Fail("not a time: " + words[0]);
    }
    HWND box = nullptr;
    if (WaitFor(static_cast<DWORD>(period),
                [&] { return (box = FindMessageBox(ProgramId(robot))); })) {
        return Fail("message box " + Quote(ReadText(box)) + ": " + Quote(MessageBoxText(box)));
    }
    return Pass();
}

Outcome WaitExit(Robot& robot, const Words& words) {
    long expected = 0;
    if (!ParseNumber(words[0], &expected)) {
        return Fail("not an exit code: " + words[0]);
    }
    if (!robot.running) {
        return Fail("no program is running");
    }
    if (WaitForSingleObject(robot.program.hProcess, robot.timeoutMs) != WAIT_OBJECT_0) {
        return Fail("the program is still running");
    }
    DWORD code = 0;
    GetExitCodeProcess(robot.program.hProcess, &code);
    robot.running = false;
    robot.window = nullptr;
    return static_cast<long>(code) == expected ? Pass() : Fail("exit code " + std::to_string(code));
}

Outcome Terminate(Robot& robot, const Words&) {
    if (!robot.running) {
        return Fail("no program is running");
    }
    TerminateProcess(robot.program.hProcess, 1);
    WaitForSingleObject(robot.program.hProcess, INFINITE);
    robot.running = false;
    robot.window = nullptr;
    return Pass();
}

// A screenshot helper outside the program watches the directory: for
// NAME.rect it captures the screen area and writes NAME.png.
Outcome Screenshot(Robot& robot, const Words& words) {
    if (robot.shotDirectory.empty()) {
        return Pass("skipped: no --shot-dir");
    }
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    Sleep(kPaintSettleMs); // let the last input's repaint reach the screen
    HWND subject = robot.window;
    if (HWND box = FindMessageBox(ProgramId(robot))) {
        subject = box;
    }
    RECT area;
    GetWindowRect(subject, &area);
    std::string base = robot.shotDirectory + "\\" + words[0];
    std::ofstream request(Widen(base + ".rect.tmp").c_str());
    request << area.left << ' ' << area.top << ' ' << area.right - area.left << ' '
            << area.bottom - area.top << '\n';
    request.close();
    MoveFileW(Widen(base + ".rect.tmp").c_str(), Widen(base + ".rect").c_str());
    std::wstring picture = Widen(base + ".png");
    bool written = WaitFor(robot.timeoutMs, [&] {
        return GetFileAttributesW(picture.c_str()) != INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW(Widen(base + ".rect").c_str()) == INVALID_FILE_ATTRIBUTES;
    });
    return written ? Pass(words[0] + ".png") : Fail("no screenshot was taken");
}

Outcome Dump(Robot& robot, const Words&) {
    if (robot.window == nullptr || !IsWindow(robot.window)) {
        return Fail("no current window");
    }
    return Pass("window " + Quote(ReadText(robot.window)) + "\n" + DescribeControls(robot.window));
}

Outcome Pause(Robot&, const Words& words) {
    long period = 0;
    if (!ParseNumber(words[0], &period) || period < 0) {
        return Fail("not a time: " + words[0]);
    }
    Sleep(static_cast<DWORD>(period));
    return Pass();
}

bool ReadFileText(const std::string& path, std::string* text) {
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return true;
}

bool HasLine(const std::string& text, const std::string& wanted) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

// Files may be written by programs that are still starting: wait for them.
Outcome ExpectFileLine(Robot& robot, const Words& words) {
    std::string text;
    if (WaitFor(robot.timeoutMs,
                [&] { return ReadFileText(words[0], &text) && HasLine(text, words[1]); })) {
        return Pass();
    }
    return Fail("no such line in " + words[0] + ":\n" + text);
}

Outcome ExpectFileLacks(Robot&, const Words& words) {
    std::string text;
    if (!ReadFileText(words[0], &text)) {
        return Fail("cannot read " + words[0]);
    }
    if (text.find(words[1]) != std::string::npos) {
        return Fail(words[0] + " holds " + Quote(words[1]) + ":\n" + text);
    }
    return Pass();
}

Outcome ExpectFileMatch(Robot& robot, const Words& words) {
    std::regex pattern;
    try {
        pattern = std::regex(words[1]);
    } catch (const std::regex_error&) {
        return Fail("not a regular expression: " + words[1]);
    }
    std::string text;
    if (WaitFor(robot.timeoutMs, [&] {
            return ReadFileText(words[0], &text) && std::regex_search(text, pattern);
        })) {
        return Pass();
    }
    return Fail("no match in " + words[0] + ":\n" + text);
}

Outcome ExpectNoFile(Robot&, const Words& words) {
    if (GetFileAttributesW(Widen(words[0]).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return Fail(words[0] + " exists");
    }
    return Pass();
}

Outcome RemoveFile(Robot&, const Words& words) {
    std::wstring path = Widen(words[0]);
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return Fail("cannot delete " + words[0]);
    }
    return Pass();
}

struct CommandInfo {
    const char* name;
    size_t fewest;
    size_t most;
    Outcome (*run)(Robot&, const Words&);
};

const CommandInfo kCommands[] = {
    {"set", 2, 2, SetVariable},
    {"timeout", 1, 1, SetTimeout},
    {"start", 1, 64, Start},
    {"wait-window", 1, 2, WaitWindow},
    {"use-window", 1, 2, UseWindow},
    {"expect-caption", 1, 1, ExpectCaption},
    {"expect-text", 2, 2, ExpectText},
    {"expect-text-contains", 2, 2, ExpectTextContains},
    {"expect-visible", 2, 2, ExpectVisible},
    {"expect-enabled", 2, 2, ExpectEnabled},
    {"expect-checked", 2, 2, ExpectChecked},
    {"expect-progress", 2, 2, ExpectProgress},
    {"expect-stays", 1, 1, ExpectStays},
    {"expect-no-msgbox", 1, 1, ExpectNoMessageBox},
    {"wait-gone", 0, 0, WaitGone},
    {"click", 1, 1, Click},
    {"type", 2, 2, Type},
    {"key", 1, 1, Key},
    {"close", 0, 0, Close},
    {"info", 0, 0, Info},
    {"syscommand", 1, 1, SysCommand},
    {"move-window", 2, 2, DragWindow},
    {"answer-msgbox", 1, 3, AnswerMessageBox},
    {"wait-exit", 1, 1, WaitExit},
    {"terminate", 0, 0, Terminate},
    {"screenshot", 1, 1, Screenshot},
    {"dump", 0, 0, Dump},
    {"sleep", 1, 1, Pause},
    {"expect-file-line", 2, 2, ExpectFileLine},
    {"expect-file-lacks", 2, 2, ExpectFileLacks},
    {"expect-file-match", 2, 2, ExpectFileMatch},
    {"expect-no-file", 1, 1, ExpectNoFile},
    {"delete-file", 1, 1, RemoveFile},
};

struct Transcript {
    std::FILE* file = nullptr;
    void Write(const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        if (file != nullptr) {
            std::fputs(text.c_str(), file);
            std::fflush(file);
        }
    }
};

Outcome RunStep(Robot& robot, const RobotStep& step) {
    Words words;
    for (size_t i = 1; i < step.words.size(); ++i) {
        std::string expanded;
        std::string error;
        if (!ExpandVariables(step.words[i], robot.variables, &expanded, &error)) {
            return Fail(error);
        }
        words.push_back(expanded);
    }
    for (const CommandInfo& command : kCommands) {
        if (step.words[0] != command.name) {
            continue;
        }
        if (words.size() < command.fewest || words.size() > command.most) {
            return Fail("wrong number of arguments");
        }
        return command.run(robot, words);
    }
    return Fail("unknown command " + step.words[0]);
}

int RunScript(Robot& robot, const std::vector<RobotStep>& steps, Transcript& transcript) {
    int number = 0;
    for (const RobotStep& step : steps) {
        ++number;
        Outcome outcome = RunStep(robot, step);
        std::string line = "step " + std::to_string(number) + " (line " +
                           std::to_string(step.line) + "): " + step.source;
        transcript.Write(line + (outcome.passed ? "  -> ok" : "  -> FAILED") +
                         (outcome.note.empty() ? "" : ": " + outcome.note) + "\n");
        if (!outcome.passed) {
            transcript.Write("FAILED at step " + std::to_string(number) + "\n");
            return 1;
        }
    }
    if (robot.running && WaitForSingleObject(robot.program.hProcess, 0) == WAIT_TIMEOUT) {
        transcript.Write("FAILED: the program is still running at the end of the script\n");
        return 1;
    }
    transcript.Write("passed: " + std::to_string(number) + " steps\n");
    return 0;
}

const char kUsage[] =
    "usage: tolvanex_robot [--set NAME=VALUE]... [--transcript FILE] [--shot-dir DIR]\n"
    "                      [-e STEP]... [SCRIPT]\n";

struct Options {
    std::string transcript;
    std::string script; // steps: the script file's, then those given with -e
};

bool ParseArguments(Robot& robot, Options* options) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Narrow(wide[i]));
    }
    LocalFree(wide);
    std::string inlineSteps;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        bool hasValue = i + 1 < arguments.size();
        if (argument == "--set" && hasValue && arguments[i + 1].find('=') != std::string::npos) {
            const std::string& setting = arguments[++i];
            size_t equals = setting.find('=');
            robot.variables[setting.substr(0, equals)] = setting.substr(equals + 1);
        } else if (argument == "--transcript" && hasValue) {
            options->transcript = arguments[++i];
        } else if (argument == "--shot-dir" && hasValue) {
            robot.shotDirectory = arguments[++i];
        } else if (argument == "-e" && hasValue) {
            inlineSteps += arguments[++i] + "\n";
        } else if (argument.compare(0, 1, "-") != 0 && options->script.empty()) {
            if (!ReadFileText(argument, &options->script)) {
                std::fprintf(stderr, "cannot read %s\n", argument.c_str());
                return false;
            }
            options->script += "\n";
        } else {
            return false;
        }
    }
    options->script += inlineSteps;
    return true;
}

} // namespace

int main() {
    Robot robot;
    Options options;
    if (!ParseArguments(robot, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<RobotStep> steps;
    std::string error;
    if (!ParseRobotScript(options.script, &steps, &error)) {
        std::fprintf(stderr, "script error: %s\n", error.c_str());
        return 2;
    }
    Transcript transcript;
    if (!options.transcript.empty()) {
        transcript.file = _wfopen(Widen(options.transcript).c_str(), L"wb");
    }
    int result = RunScript(robot, steps, transcript);
    if (robot.running) {
        TerminateProcess(robot.program.hProcess, 1);
        WaitForSingleObject(robot.program.hProcess, INFINITE);
    }
    if (robot.program.hProcess != nullptr) {
        CloseHandle(robot.program.hProcess);
        CloseHandle(robot.program.hThread);
    }
    if (transcript.file != nullptr) {
        std::fclose(transcript.file);
    }
    return result;
}
