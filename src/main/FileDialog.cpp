#include "main/FileDialog.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

constexpr const char* openDialogTitle = "Select input file";
constexpr const char* allFilesFilterName = "All Files(*.*)";

// Offered as the initial file the next time the chooser opens.

// The current directory and GLUT window of the caller, put back on scope exit.
class CallerStateKeeper {
public:
    CallerStateKeeper() : glutWindow(glutGetWindow())
    {
        std::error_code error;
        directory = std::filesystem::current_path(error);
        directoryKnown = !error;
    }
    ~CallerStateKeeper()
    {
        if (directoryKnown) {
            std::error_code error;
            std::filesystem::current_path(directory, error);
        }
        // Window id 0 means there was none; glutSetWindow(0) would only warn.
        if (glutWindow != 0 && glutGetWindow() != glutWindow)
            glutSetWindow(glutWindow);
    }
    CallerStateKeeper(const CallerStateKeeper&) = delete;
    CallerStateKeeper& operator=(const CallerStateKeeper&) = delete;

private:
    std::filesystem::path directory;
    bool directoryKnown = false;
    int glutWindow = 0;
};

// GDK installs its own Xlib error handlers when it opens its display, and they
// are process-wide: freeglut's connection would then report errors through GDK.
class XlibHandlersKeeper {
public:
    XlibHandlersKeeper() : errorHandler(XSetErrorHandler(nullptr)), ioErrorHandler(XSetIOErrorHandler(nullptr))
    {
        XSetErrorHandler(errorHandler);
        XSetIOErrorHandler(ioErrorHandler);
    }
    ~XlibHandlersKeeper()
    {
        XSetErrorHandler(errorHandler);
        XSetIOErrorHandler(ioErrorHandler);
    }
    XlibHandlersKeeper(const XlibHandlersKeeper&) = delete;
    XlibHandlersKeeper& operator=(const XlibHandlersKeeper&) = delete;

private:
    XErrorHandler errorHandler;
    XIOErrorHandler ioErrorHandler;
};

bool initialiseGtk()
{
    // gtk_init would switch the C locale to the environment's, after which
    // strtod and friends read "0.05" as 0 under a comma-decimal locale.
    gtk_disable_setlocale();
    // Without this GTK may pick Wayland, away from the X server freeglut uses.
    gdk_set_allowed_backends("x11");
    return gtk_init_check(nullptr, nullptr) != FALSE;
}

// GTK keeps whether it is initialised; a failed attempt is simply tried again at the
// next dialog, which also notices a display that has come back.
bool gtkIsReady()
{
    if (gdk_display_get_default() != nullptr)
        return true;
    const XlibHandlersKeeper handlers;
    if (initialiseGtk())
        return true;
    std::fprintf(stderr, "File dialog unavailable: GTK could not initialise\n");
    return false;
}

void addAllFilesFilter(GtkFileChooser* chooser)
{
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, allFilesFilterName);
    gtk_file_filter_add_pattern(filter, "*");
    gtk_file_chooser_add_filter(chooser, filter);  // takes the floating reference
}

// GTK would otherwise open on "Recent", which is empty on a fresh account.
void startInCurrentDirectory(GtkFileChooser* chooser)
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    if (!error)
        gtk_file_chooser_set_current_folder(chooser, directory.c_str());
}

// What differs between the open and the save chooser.
struct ChooserRequest {
    const char* title;
    GtkFileChooserAction action;
    const char* acceptLabel;
    std::string folder;                            // save: the folder to start in
    std::string name;                              // save: the suggested file name
    const std::vector<SaveType>* types = nullptr;  // save: the types offered
    std::string previousChoice;                    // open: the file offered first
};

constexpr const char* saveTypeKey = "weathering-save-type";

const SaveType* chosenType(GtkFileChooser* chooser)
{
    GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
    return filter ? static_cast<const SaveType*>(g_object_get_data(G_OBJECT(filter), saveTypeKey)) : nullptr;
}

struct GFreeDeleter {
    void operator()(gchar* text) const { g_free(text); }
};

// Choosing another type renames the typed file to that type's extension at once.
void followChosenType(GObject* object, GParamSpec*, gpointer types)
{
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(object);
    const SaveType* type = chosenType(chooser);
    const std::unique_ptr<gchar, GFreeDeleter> name(gtk_file_chooser_get_current_name(chooser));
    if (type == nullptr || !name || *name == '\0')
        return;
    const std::string renamed =
        nameWithTypeExtension(name.get(), *type, *static_cast<const std::vector<SaveType>*>(types));
    if (renamed != name.get())
        gtk_file_chooser_set_current_name(chooser, renamed.c_str());
}

void addSaveTypeFilters(GtkFileChooser* chooser, const std::vector<SaveType>& types)
{
    for (const SaveType& type : types) {
        GtkFileFilter* filter = gtk_file_filter_new();
        std::string label = type.name;
        for (const char* extension : type.extensions) {
            const std::string pattern = std::string("*") + extension;
            label += std::string(extension == type.extensions.front() ? " (" : " ") + pattern;
            gtk_file_filter_add_pattern(filter, pattern.c_str());
            std::string upper = pattern;
            for (char& c : upper)
                c = static_cast<char>(g_ascii_toupper(c));
            gtk_file_filter_add_pattern(filter, upper.c_str());
        }
        gtk_file_filter_set_name(filter, (label + ")").c_str());
        g_object_set_data(G_OBJECT(filter), saveTypeKey, const_cast<SaveType*>(&type));
        gtk_file_chooser_add_filter(chooser, filter);
    }
    g_signal_connect(chooser, "notify::filter", G_CALLBACK(followChosenType),
                     const_cast<std::vector<SaveType>*>(&types));
}

void startWhereAsked(GtkFileChooser* chooser, const ChooserRequest& request)
{
    if (request.action == GTK_FILE_CHOOSER_ACTION_SAVE) {
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
        if (request.folder.empty())
            startInCurrentDirectory(chooser);
        else
            gtk_file_chooser_set_current_folder(chooser, request.folder.c_str());
        gtk_file_chooser_set_current_name(chooser, request.name.c_str());
    } else if (request.previousChoice.empty()) {
        startInCurrentDirectory(chooser);
    } else {
        gtk_file_chooser_set_filename(chooser, request.previousChoice.c_str());
    }
}

GtkWidget* createChooser(const ChooserRequest& request)
{
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title, nullptr, request.action, "_Cancel", GTK_RESPONSE_CANCEL,
                                    request.acceptLabel, GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (request.action == GTK_FILE_CHOOSER_ACTION_OPEN)
        addAllFilesFilter(chooser);
    if (request.types != nullptr)
        addSaveTypeFilters(chooser, *request.types);
    startWhereAsked(chooser, request);
    // There is no GTK parent to be transient for, and maybe no window manager
    // to raise it: keep it above the GLUT windows ourselves.
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_present(GTK_WINDOW(dialog));
    return dialog;
}

void drainGtkEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
    // Wait until the server has unmapped the dialog, not just until it was asked to.
    gdk_display_sync(gdk_display_get_default());
}

std::string chosenFile(GtkWidget* dialog)
{
    // Escape answers GTK_RESPONSE_DELETE_EVENT: anything but accept is a cancel.
    if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_ACCEPT)
        return {};
    const std::unique_ptr<gchar, GFreeDeleter> name(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
    return name ? std::string(name.get()) : std::string();
}

// A saved name takes the chosen type's extension. When that names a file that is there
// already, the dialog comes back with the full name, so that it asks before replacing.
std::string chosenSaveFile(GtkWidget* dialog, const std::vector<SaveType>& types)
{
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    for (;;) {
        const std::string chosen = chosenFile(dialog);
        const SaveType* type = chosenType(chooser);
        if (chosen.empty() || type == nullptr)
            return chosen;
        const std::string named = nameWithTypeExtension(chosen, *type, types);
        std::error_code error;
        if (named == chosen || !std::filesystem::exists(named, error))
            return named;
        gtk_file_chooser_set_current_name(chooser, std::filesystem::path(named).filename().c_str());
    }
}

std::string runChooser(const ChooserRequest& request)
{
    GtkWidget* dialog = createChooser(request);
    std::string chosen = request.types != nullptr ? chosenSaveFile(dialog, *request.types) : chosenFile(dialog);
    gtk_widget_destroy(dialog);
    // Otherwise the dialog stays on screen until GTK next gets to run.
    drainGtkEvents();
    return chosen;
}

Bool isUserInput(Display*, XEvent* event, XPointer)
{
    switch (event->type) {
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
    case KeyPress:
    case KeyRelease:
    case GenericEvent:  // freeglut reads the mouse through XInput2
        return True;
    default:
        return False;
    }
}

// Clicks and keys meant for the dialog also reach the GLUT windows and would
// be replayed once the caller returns to the GLUT loop.
void discardPendingInput(Display* display)
{
    if (display == nullptr)
        return;
    XSync(display, False);
    XEvent event;
    while (XCheckIfEvent(display, &event, isUserInput, nullptr)) {
    }
}

// Runs a chooser modally over the GLUT windows and hands back the chosen path.
std::string chooseFile(const ChooserRequest& request)
{
    const CallerStateKeeper callerState;
    if (!gtkIsReady())
        return {};
    // freeglut's own connection: only reachable through its current GL context.
    Display* glutDisplay = glXGetCurrentDisplay();
    std::string chosen = runChooser(request);
    discardPendingInput(glutDisplay);
    return chosen;
}

}  // namespace

std::string openFileDialog(const std::string& previousChoice)
{
    return chooseFile({openDialogTitle, GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", {}, {}, nullptr, previousChoice});
}

std::string saveFileDialog(const char* title, const std::string& folder, const std::string& suggestedName,
                           const std::vector<SaveType>& types)
{
    return chooseFile({title, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", folder, suggestedName, &types, {}});
}

std::string picturesFolder()
{
    const gchar* pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
    return pictures != nullptr ? std::string(pictures) : homeFolder();
}

std::string homeFolder()
{
    const gchar* home = g_get_home_dir();
    return home != nullptr ? std::string(home) : std::string("/");
}
