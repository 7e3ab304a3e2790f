// ConfigureSheet: the settings sheet's logic: filling its controls from a
// view's values, Defaults, Save, Cancel, choosing the pictures folder and
// the About dialog.
//
// The sheet sees its controls and its toolkit only through the small
// interfaces below, so the core stays free of GTK (larkspur-config supplies
// the real controls) and tests drive it with fakes. The controls bound their
// own values; the sheet stores what they hold, and LoadSettings clamps the
// numbers when a view reads them.
#pragma once

#include "view/HostServices.h"
#include "view/Settings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ConfigureSheet;

// The sheet's window; only the toolkit knows what it is.
class SheetWindow;

class SheetCheckBox {
public:
    virtual ~SheetCheckBox() = default;
    virtual bool state() const = 0;
    virtual void setState(bool on) = 0;
};

class SheetIntegerField {
public:
    virtual ~SheetIntegerField() = default;
    virtual int32_t intValue() const = 0;
    virtual void setIntValue(int32_t value) = 0;
};

class SheetTextField {
public:
    virtual ~SheetTextField() = default;
    virtual std::string stringValue() const = 0;
    virtual void setStringValue(const std::string& value) = 0;
};

class SheetPopUp {
public:
    virtual ~SheetPopUp() = default;
    // -1 when no item is selected.
    virtual int indexOfSelectedItem() const = 0;
    // -1 selects nothing.
    virtual void selectItemAtIndex(int index) = 0;
};

class SheetButton {
public:
    virtual ~SheetButton() = default;
    virtual std::string title() const = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// What the folder panel is asked to show.
struct FolderPanelRequest {
    std::string title;
    // Picture files shown for orientation; only folders can be chosen.
    std::vector<std::string> fileTypes;
    std::string startFolder;
};

// What the About dialog says beside the version and the licence, which the
// toolkit's side takes from the build.
struct AboutLarkspur {
    std::string name;
    // One line.
    std::string description;
    std::string copyright;
    // Where the read-me and the manual page are, a line each.
    std::string documents;
};

// What the sheet asks of its toolkit and of the host.
class SheetHost {
public:
    virtual ~SheetHost() = default;

    // Loads the interface file of that name with `owner` as its owner,
    // setting the owner's outlets; returns the window, or null on failure.
    virtual SheetWindow* LoadInterface(const char* name, ConfigureSheet* owner) = 0;
    virtual void EndSheet(SheetWindow* window) = 0;
    // Runs the folder panel; true with the chosen folder when confirmed.
    virtual bool RunFolderPanel(const FolderPanelRequest& request, std::string* folder) = 0;
    // Shows the About dialog over the sheet's window.
    virtual void ShowAbout(const AboutLarkspur& about) = 0;
    // Where Larkspur's read-me file should be on this machine.
    virtual std::string ReadMePath() = 0;
    // The folder that should hold the manual page larkspur(6).
    virtual std::string ManualFolder() = 0;
    // Tells the user why something they asked for did not happen.
    virtual void ShowError(const std::string& message) = 0;
    // Opens the preferences of a module; never null.
    virtual std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) = 0;
    // Whether the idle watcher starts with the user's session.
    virtual bool IdleWatcherEnabled() = 0;
    // Turns the idle watcher on (and starts it afresh) or off; false with
    // *error when it could not be done.
    virtual bool SetIdleWatcher(bool on, std::string* error) = 0;
};

extern const char* const kSheetInterfaceName;
extern const char* const kFolderPanelTitle;

// The sheet also edits the idle watcher's settings, and its box turns the
// watcher on and off when Save is pressed.
class ConfigureSheet {
public:
    // The sheet edits these values of a view, which must outlive it.
    ConfigureSheet(SheetHost* host, SETTINGS* settings, bool* mainMonitorOnly, IdleSettings* idle);

    // Loads the interface the first time, fills the controls from the view's
    // values and returns the window; null when the interface cannot be loaded
    // or lacks a control.
    SheetWindow* configureSheet();
    void configureSheet_updatestates();
    void configureSheet_update();
    void configureSheet_defaults();
    // Takes the controls into the view's values and stores them, then ends
    // the sheet. A store that cannot be written is reported and the sheet
    // stays open, so the choices are not lost; returns false then.
    bool configureSheet_save();
    // Whether the last Save failed (false before any Save), so that leaving
    // after it can say the settings were not saved.
    bool lastSaveFailed() const { return lastSaveFailed_; }
    void configureSheet_cancel();
    void configureSheet_bgpath();
    // The toolkit's own About dialog: there is no web page to send people to,
    // and a read-me handed to the desktop may open in no program at all, so it
    // says where the read-me and the manual page are.
    void configureSheet_about();

    // Outlets, set by SheetHost::LoadInterface; the toolkit owns them.
    SheetWindow* configureSheetWindow = nullptr;
    SheetCheckBox* oMainMonitorOnly = nullptr;
    // The monitors that show the herd, by name, separated by commas.
    SheetTextField* oMonitors = nullptr;
    SheetIntegerField* oDogSize = nullptr;
    SheetIntegerField* oNumDogs = nullptr;
    SheetIntegerField* oNumFootprints = nullptr;
    SheetCheckBox* oTileBG = nullptr;
    // "Show the title and caption".
    SheetCheckBox* oShowOverlay = nullptr;
    SheetPopUp* oBGType = nullptr;
    SheetPopUp* oBGRes = nullptr;
    SheetButton* oBGPath = nullptr;
    // "Start Larkspur after [oStartAfter] minutes of inactivity".
    SheetCheckBox* oIdleWatcher = nullptr;
    SheetIntegerField* oStartAfter = nullptr;
    SheetIntegerField* oLockAfter = nullptr;
    SheetTextField* oLockCommand = nullptr;

private:
    bool OutletsConnected() const;
    void FillControls();

    SheetHost* host_;
    // Takes the idle controls into the values and the store, then turns the
    // watcher on or off as the box says.
    void SaveIdle(PreferencesStore* store);
    void ApplyIdleWatcher();

    SETTINGS* settings_;
    bool* mainMonitorOnly_;
    IdleSettings* idle_;
    bool lastSaveFailed_ = false;
};
