// GtkSheet: the settings sheet's controls and host in GTK 3: the window and
// its widgets come from a GtkBuilder file whose widget ids are the sheet's
// outlet names and whose signal handlers are its action names.
//
// Ending the sheet hides the window and leaves the GTK main loop. Errors are
// shown in a message box over the window; About is GTK's own About dialog,
// which does not hold up the window.
#pragma once

#include "platform/idle/IdleService.h"
#include "view/ConfigureSheet.h"

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

class SheetWindow {
public:
    GtkWindow* window = nullptr;
};

class GtkSheetHost : public SheetHost {
public:
    GtkSheetHost(std::string interfaceFile, std::string readMeFile, std::string manualFolder,
                 IdleServiceSetup idleService);
    ~GtkSheetHost() override;
    GtkSheetHost(const GtkSheetHost&) = delete;
    GtkSheetHost& operator=(const GtkSheetHost&) = delete;

    SheetWindow* LoadInterface(const char* name, ConfigureSheet* owner) override;
    void EndSheet(SheetWindow* window) override;
    bool RunFolderPanel(const FolderPanelRequest& request, std::string* folder) override;
    void ShowAbout(const AboutLarkspur& about) override;
    std::string ReadMePath() override { return readMeFile_; }
    std::string ManualFolder() override { return manualFolder_; }
    void ShowError(const std::string& message) override;
    std::unique_ptr<PreferencesStore> OpenPreferences(const char* module) override;
    bool IdleWatcherEnabled() override { return ::IdleWatcherEnabled(); }
    bool SetIdleWatcher(bool on, std::string* error) override { return ::SetIdleWatcher(on, idleService_, error); }

    // A widget of the loaded interface by id; null when there is none.
    GObject* Find(const char* id) const;
    // Why LoadInterface failed.
    const std::string& loadError() const { return loadError_; }
    // The About dialog while it exists (hidden or shown); null before the
    // first About and once GTK destroyed it.
    GtkAboutDialog* aboutDialog() const { return about_; }

private:
    std::string interfaceFile_;
    std::string readMeFile_;
    std::string manualFolder_;
    IdleServiceSetup idleService_;
    GtkBuilder* builder_ = nullptr;
    SheetWindow window_;
    std::vector<std::unique_ptr<SheetCheckBox>> checkBoxes_;
    std::vector<std::unique_ptr<SheetIntegerField>> fields_;
    std::vector<std::unique_ptr<SheetPopUp>> popUps_;
    std::unique_ptr<SheetTextField> lockCommand_;
    std::unique_ptr<SheetTextField> monitors_;
    std::unique_ptr<SheetButton> folderButton_;
    std::string loadError_;
    GtkAboutDialog* about_ = nullptr;
};
