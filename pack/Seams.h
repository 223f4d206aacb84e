// What the core asks of a user interface. Each front end fills these plain
// records in; the core never calls a window itself.
#pragma once

// A message box: the GUI shows it with an exclamation icon and no owner, the
// CLI prints "caption: text" on stderr. With no function set nothing is shown.
struct MessageSeam {
    void (*show)(void* context, const char* text, const char* caption) = nullptr;
    void* context = nullptr;

    void Show(const char* text, const char* caption) const {
        if (show != nullptr) show(context, text, caption);
    }
};
