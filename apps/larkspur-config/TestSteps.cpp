// TestSteps: the scripted person at the settings window.
#include "TestSteps.h"

#include "GtkSheet.h"

#include <cstdio>
#include <cstdlib>

namespace {

const unsigned kStepMilliseconds = 250;

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(';', start);
        const std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty())
            parts.push_back(part);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return parts;
}

// The text after "name:" when the step starts with it.
bool Takes(const std::string& step, const char* name, std::string* rest)
{
    const std::string prefix = std::string(name) + ":";
    if (step.compare(0, prefix.size(), prefix) != 0)
        return false;
    *rest = step.substr(prefix.size());
    return true;
}

const char* OnOff(bool on)
{
    return on ? "true" : "false";
}

} // namespace

TestSteps::TestSteps(const std::string& steps, ConfigureSheet* sheet, GtkSheetHost* host)
    : steps_(Split(steps)), sheet_(sheet), host_(host)
{
}

void TestSteps::Start()
{
    g_timeout_add(kStepMilliseconds, &TestSteps::Tick, this);
}

int TestSteps::Tick(void* data)
{
    auto* self = static_cast<TestSteps*>(data);
    if (self->next_ >= self->steps_.size())
        return G_SOURCE_REMOVE;
    const std::string step = self->steps_[self->next_++];
    if (!self->Run(step)) {
        std::fprintf(stderr, "larkspur-config: the test step '%s' cannot be done\n", step.c_str());
        self->failed_ = true;
        if (gtk_main_level() > 0)
            gtk_main_quit();
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

bool TestSteps::Run(const std::string& step)
{
    std::string rest;
    if (step == "print") {
        Print();
        return true;
    }
    if (step == "close") {
        gtk_window_close(GTK_WINDOW(host_->Find("configureSheet")));
        return true;
    }
    if (Takes(step, "set", &rest)) {
        const size_t equals = rest.find('=');
        return equals != std::string::npos && Set(rest.substr(0, equals), rest.substr(equals + 1));
    }
    if (Takes(step, "click", &rest))
        return Click(rest);
    if (Takes(step, "shot", &rest))
        return Shot(rest);
    return false;
}

void TestSteps::Print() const
{
    const ConfigureSheet& s = *sheet_;
    std::printf("oMainMonitorOnly=%s\noDogSize=%d\noNumDogs=%d\noNumFootprints=%d\noTileBG=%s\n"
                "oBGType=%d\noBGRes=%d\noBGPath=%s\noBGPath.enabled=%s\n",
                OnOff(s.oMainMonitorOnly->state()), s.oDogSize->intValue(), s.oNumDogs->intValue(),
                s.oNumFootprints->intValue(), OnOff(s.oTileBG->state()), s.oBGType->indexOfSelectedItem(),
                s.oBGRes->indexOfSelectedItem(), s.oBGPath->title().c_str(), OnOff(s.oBGPath->isEnabled()));
    std::fflush(stdout);
}

bool TestSteps::Set(const std::string& id, const std::string& value)
{
    GObject* object = host_->Find(id.c_str());
    if (!object)
        return false;
    if (GTK_IS_SPIN_BUTTON(object))
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(object), std::atof(value.c_str()));
    else if (GTK_IS_TOGGLE_BUTTON(object))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(object), value == "true");
    else if (GTK_IS_COMBO_BOX(object))
        gtk_combo_box_set_active(GTK_COMBO_BOX(object), std::atoi(value.c_str()));
    else
        return false;
    return true;
}

bool TestSteps::Click(const std::string& id)
{
    GObject* object = host_->Find(id.c_str());
    if (!object || !GTK_IS_BUTTON(object))
        return false;
    gtk_button_clicked(GTK_BUTTON(object));
    return true;
}

bool TestSteps::Shot(const std::string& file)
{
    GtkWidget* window = GTK_WIDGET(host_->Find("configureSheet"));
    GdkWindow* surface = window ? gtk_widget_get_window(window) : nullptr;
    if (!surface)
        return false;
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(surface, 0, 0, gdk_window_get_width(surface),
                                                    gdk_window_get_height(surface));
    if (!picture)
        return false;
    const bool saved = gdk_pixbuf_save(picture, file.c_str(), "png", nullptr, nullptr);
    g_object_unref(picture);
    return saved;
}
