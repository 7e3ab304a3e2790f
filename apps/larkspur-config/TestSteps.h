// TestSteps: drives the settings window the way a person would, for tests
// that run it under Xvfb: sets controls, clicks buttons, prints what the
// controls show and takes a picture of the window.
//
// Steps are separated by ";" and run one every quarter second once the main
// loop runs:
//   print           each outlet's value as "outlet=value" on stdout
//   set:ID=VALUE    a spin button's number, a check box's on/off, a pop-up's item
//   click:ID        clicks a button (its action runs as on a real click)
//   shot:FILE       writes the window's picture as a PNG file
//   close           closes the window as its close button does
// A step that cannot be done is reported on stderr and ends the program.
#pragma once

#include <string>
#include <vector>

class ConfigureSheet;
class GtkSheetHost;

class TestSteps {
public:
    TestSteps(const std::string& steps, ConfigureSheet* sheet, GtkSheetHost* host);
    void Start();
    bool failed() const { return failed_; }

private:
    static int Tick(void* self);
    bool Run(const std::string& step);
    void Print() const;
    bool Set(const std::string& id, const std::string& value);
    bool Click(const std::string& id);
    bool Shot(const std::string& file);

    std::vector<std::string> steps_;
    size_t next_ = 0;
    ConfigureSheet* sheet_;
    GtkSheetHost* host_;
    bool failed_ = false;
};
