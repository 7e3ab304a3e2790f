// GtkSheet: GTK 3 widgets behind the sheet's control interfaces, the folder
// chooser, the About dialog and the message box.
#include "GtkSheet.h"

#include "MonitorNames.h"

#include "maths/Misc.h"
#include "platform/prefs/KeyFilePreferences.h"
#include "view/MonitorChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

class GtkCheckBox : public SheetCheckBox {
public:
    explicit GtkCheckBox(GtkToggleButton* widget) : widget_(widget) {}
    bool state() const override { return gtk_toggle_button_get_active(widget_); }
    void setState(bool on) override { gtk_toggle_button_set_active(widget_, on); }

private:
    GtkToggleButton* widget_;
};

// GTK reads a spin button's text that is no number, such as the empty text
// left when letters are typed over a selection, as 0; such text keeps the last
// value instead. Numbers are left to GTK, which keeps them in range.
gint KeepLastValueUnlessNumber(GtkSpinButton* widget, gdouble* value, gpointer)
{
    const char* text = gtk_entry_get_text(GTK_ENTRY(widget));
    char* end = nullptr;
    const double number = g_strtod(text, &end);
    if (end != text && *end == '\0' && std::isfinite(number))
        return FALSE;
    *value = gtk_spin_button_get_value(widget);
    return TRUE;
}

class GtkIntegerField : public SheetIntegerField {
public:
    GtkIntegerField(GtkSpinButton* widget, int64_t low, int64_t high) : widget_(widget)
    {
        // The range comes from the settings' own limits, whatever the layout file says.
        gtk_spin_button_set_range(widget_, double(low), double(high));
        gtk_spin_button_set_digits(widget_, 0);
        gtk_spin_button_set_numeric(widget_, TRUE);
        g_signal_connect(widget_, "input", G_CALLBACK(KeepLastValueUnlessNumber), nullptr);
    }
    int32_t intValue() const override
    {
        // Takes in a number still being typed, as the user expects on Save.
        gtk_spin_button_update(widget_);
        return gtk_spin_button_get_value_as_int(widget_);
    }
    void setIntValue(int32_t value) override { gtk_spin_button_set_value(widget_, value); }

private:
    GtkSpinButton* widget_;
};

class GtkTextField : public SheetTextField {
public:
    explicit GtkTextField(GtkEntry* widget) : widget_(widget) {}
    std::string stringValue() const override { return gtk_entry_get_text(widget_); }
    void setStringValue(const std::string& value) override { gtk_entry_set_text(widget_, value.c_str()); }

private:
    GtkEntry* widget_;
};

class GtkPopUp : public SheetPopUp {
public:
    explicit GtkPopUp(GtkComboBox* widget) : widget_(widget) {}
    int indexOfSelectedItem() const override { return gtk_combo_box_get_active(widget_); }
    void selectItemAtIndex(int index) override { gtk_combo_box_set_active(widget_, index); }

private:
    GtkComboBox* widget_;
};

// The folder button shows the folder in its label, shortened in the middle
// when long, and whole in its tooltip.
class GtkFolderButton : public SheetButton {
public:
    GtkFolderButton(GtkWidget* button, GtkLabel* label) : button_(button), label_(label) {}
    std::string title() const override { return gtk_label_get_text(label_); }
    void setTitle(const std::string& title) override
    {
        gtk_label_set_text(label_, title.c_str());
        gtk_widget_set_tooltip_text(button_, title.c_str());
    }
    bool isEnabled() const override { return gtk_widget_get_sensitive(button_); }
    void setEnabled(bool enabled) override { gtk_widget_set_sensitive(button_, enabled); }

private:
    GtkWidget* button_;
    GtkLabel* label_;
};

ConfigureSheet* Sheet(gpointer data)
{
    return static_cast<ConfigureSheet*>(data);
}

// The actions, by the handler names the layout file uses.
void Save(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_save();
}
void Cancel(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_cancel();
}
void Defaults(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_defaults();
}
void Update(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_update();
}
void ChooseFolder(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_bgpath();
}
void About(GtkWidget*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_about();
}
// Closing the window is Cancel.
gboolean CloseWindow(GtkWidget*, GdkEvent*, gpointer sheet)
{
    Sheet(sheet)->configureSheet_cancel();
    return TRUE;
}

} // namespace

GtkSheetHost::GtkSheetHost(std::string interfaceFile, std::string readMeFile, std::string manualFolder,
                           IdleServiceSetup idleService)
    : interfaceFile_(std::move(interfaceFile)), readMeFile_(std::move(readMeFile)),
      manualFolder_(std::move(manualFolder)), idleService_(std::move(idleService))
{
}

GtkSheetHost::~GtkSheetHost()
{
    if (about_)
        gtk_widget_destroy(GTK_WIDGET(about_));
    if (window_.window)
        gtk_widget_destroy(GTK_WIDGET(window_.window));
    if (builder_)
        g_object_unref(builder_);
}

namespace {

// The names of the monitors present, for the hint under their entry.
std::string MonitorsPresentHint()
{
    std::string names;
    for (const std::string& name : MonitorNamesPresent(gdk_display_get_default()))
        names += (names.empty() ? "" : ", ") + name;
    return names.empty() ? "This display gives its monitors no names." : "Monitors here: " + names;
}

// The settings scroll rather than push the buttons off a short screen (a
// 1366x768 laptop): room is left for the notice, the buttons and the title
// bar.
void FitToScreen(GtkScrolledWindow* scroller)
{
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor)
        return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    constexpr int kAroundTheSettings = 260, kLeast = 240;
    gtk_scrolled_window_set_max_content_height(scroller, std::max(kLeast, area.height - kAroundTheSettings));
}

} // namespace

GObject* GtkSheetHost::Find(const char* id) const
{
    return builder_ ? gtk_builder_get_object(builder_, id) : nullptr;
}

// The interface's name is "Larkspur"; this host was given its file.
SheetWindow* GtkSheetHost::LoadInterface(const char*, ConfigureSheet* owner)
{
    builder_ = gtk_builder_new();
    GError* error = nullptr;
    if (!gtk_builder_add_from_file(builder_, interfaceFile_.c_str(), &error)) {
        loadError_ = error->message;
        g_error_free(error);
        return nullptr;
    }
    // Every outlet must be there and of its kind.
    const auto widget = [this](const char* id, GType type) -> gpointer {
        GObject* object = Find(id);
        if (object && G_TYPE_CHECK_INSTANCE_TYPE(object, type))
            return object;
        if (loadError_.empty())
            loadError_ = interfaceFile_ + " has no " + g_type_name(type) + " with the id '" + id + "'";
        return nullptr;
    };
    const auto check = [&](const char* id) -> SheetCheckBox* {
        auto* w = static_cast<GtkToggleButton*>(widget(id, GTK_TYPE_TOGGLE_BUTTON));
        return w ? checkBoxes_.emplace_back(std::make_unique<GtkCheckBox>(w)).get() : nullptr;
    };
    const auto field = [&](const char* id, int64_t low, int64_t high) -> SheetIntegerField* {
        auto* w = static_cast<GtkSpinButton*>(widget(id, GTK_TYPE_SPIN_BUTTON));
        return w ? fields_.emplace_back(std::make_unique<GtkIntegerField>(w, low, high)).get() : nullptr;
    };
    const auto popUp = [&](const char* id) -> SheetPopUp* {
        auto* w = static_cast<GtkComboBox*>(widget(id, GTK_TYPE_COMBO_BOX));
        return w ? popUps_.emplace_back(std::make_unique<GtkPopUp>(w)).get() : nullptr;
    };

    auto* window = static_cast<GtkWindow*>(widget("configureSheet", GTK_TYPE_WINDOW));
    if (auto* scroller = static_cast<GtkScrolledWindow*>(widget("settingsScroller", GTK_TYPE_SCROLLED_WINDOW)))
        FitToScreen(scroller);
    owner->oMainMonitorOnly = check("oMainMonitorOnly");
    if (auto* entry = static_cast<GtkEntry*>(widget("oMonitors", GTK_TYPE_ENTRY))) {
        gtk_entry_set_max_length(entry, int(kMaxMonitorNamesBytes));
        monitors_ = std::make_unique<GtkTextField>(entry);
        owner->oMonitors = monitors_.get();
    }
    if (auto* hint = static_cast<GtkLabel*>(widget("oMonitorsPresent", GTK_TYPE_LABEL)))
        gtk_label_set_text(hint, MonitorsPresentHint().c_str());
    owner->oDogSize = field("oDogSize", kMinDogSize, kMaxDogSize);
    owner->oNumDogs = field("oNumDogs", kMinNumDogs, kMaxNumDogs);
    owner->oNumFootprints = field("oNumFootprints", kMinNumFootprints, kMaxNumFootprints);
    owner->oTileBG = check("oTileBG");
    owner->oShowOverlay = check("oShowOverlay");
    owner->oBGType = popUp("oBGType");
    owner->oBGRes = popUp("oBGRes");
    auto* button = static_cast<GtkButton*>(widget("oBGPath", GTK_TYPE_BUTTON));
    GtkWidget* label = button ? gtk_bin_get_child(GTK_BIN(button)) : nullptr;
    if (label && GTK_IS_LABEL(label)) {
        folderButton_ = std::make_unique<GtkFolderButton>(GTK_WIDGET(button), GTK_LABEL(label));
        owner->oBGPath = folderButton_.get();
    } else if (loadError_.empty()) {
        loadError_ = interfaceFile_ + ": the button 'oBGPath' must hold a label";
    }
    owner->oIdleWatcher = check("oIdleWatcher");
    owner->oStartAfter = field("oStartAfter", kMinStartAfter, kMaxStartAfter);
    owner->oLockAfter = field("oLockAfter", kMinLockAfter, kMaxLockAfter);
    if (auto* entry = static_cast<GtkEntry*>(widget("oLockCommand", GTK_TYPE_ENTRY))) {
        gtk_entry_set_max_length(entry, int(kMaxLockCommandBytes));
        lockCommand_ = std::make_unique<GtkTextField>(entry);
        owner->oLockCommand = lockCommand_.get();
    }
    if (!window)
        return nullptr;

    gtk_builder_add_callback_symbols(builder_, "configureSheet_save", G_CALLBACK(Save), "configureSheet_cancel",
                                     G_CALLBACK(Cancel), "configureSheet_defaults", G_CALLBACK(Defaults),
                                     "configureSheet_update", G_CALLBACK(Update), "configureSheet_bgpath",
                                     G_CALLBACK(ChooseFolder), "configureSheet_about", G_CALLBACK(About),
                                     "configureSheet_close", G_CALLBACK(CloseWindow), nullptr);
    gtk_builder_connect_signals(builder_, owner);
    window_.window = window;
    owner->configureSheetWindow = &window_;
    return &window_;
}

void GtkSheetHost::EndSheet(SheetWindow* window)
{
    if (window && window->window)
        gtk_widget_hide(GTK_WIDGET(window->window));
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

bool GtkSheetHost::RunFolderPanel(const FolderPanelRequest& request, std::string* folder)
{
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title.c_str(), window_.window, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_select_multiple(chooser, FALSE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    // The picture types are not used as a filter: GTK's folder mode shows no
    // files, and a filter would only grey out the folders themselves.
    gtk_window_set_default_size(GTK_WINDOW(dialog), 760, 520);
    if (!request.startFolder.empty())
        gtk_file_chooser_set_current_folder(chooser, request.startFolder.c_str());

    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
            *folder = name;
            g_free(name);
            chosen = true;
        }
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void GtkSheetHost::ShowAbout(const AboutLarkspur& about)
{
    // One dialog at a time: its Close button hides it, and GTK destroys it on
    // Escape or the window's close button, which forgets it, so the next
    // About makes it afresh.
    if (!about_) {
        about_ = GTK_ABOUT_DIALOG(gtk_about_dialog_new());
        gtk_window_set_transient_for(GTK_WINDOW(about_), window_.window);
        gtk_window_set_modal(GTK_WINDOW(about_), TRUE);
        g_signal_connect(about_, "response", G_CALLBACK(gtk_widget_hide), nullptr);
        g_signal_connect(about_, "destroy", G_CALLBACK(gtk_widget_destroyed), &about_);
    }
    gtk_about_dialog_set_program_name(about_, about.name.c_str());
    gtk_about_dialog_set_version(about_, LARKSPUR_VERSION);
    gtk_about_dialog_set_comments(about_, (about.description + "\n\n" + about.documents).c_str());
    gtk_about_dialog_set_copyright(about_, about.copyright.c_str());
    gtk_about_dialog_set_license_type(about_, GTK_LICENSE_MIT_X11);
    // The settings entry's icon, where the icon theme has it.
    gtk_about_dialog_set_logo_icon_name(about_, "preferences-desktop-screensaver");
    gtk_window_present(GTK_WINDOW(about_));
}

void GtkSheetHost::ShowError(const std::string& message)
{
    // Also on stderr, for people who started the program from a terminal.
    std::fprintf(stderr, "larkspur-config: %s\n", PrintableText(message).c_str());
    GtkWidget* box =
        gtk_message_dialog_new(window_.window, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                               GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "Larkspur Settings");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

std::unique_ptr<PreferencesStore> GtkSheetHost::OpenPreferences(const char* module)
{
    return OpenModulePreferences(module);
}
