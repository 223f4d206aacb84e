// What the core asks of a user interface. Each front end fills these plain
// records in; the core never calls a window itself.
#pragma once

#include <cstdint>

// A message box: the GUI shows it with an exclamation icon and no owner, the
// CLI prints "caption: text" on stderr. With no function set nothing is shown.
struct MessageSeam {
    void (*show)(void* context, const char* text, const char* caption) = nullptr;
    void* context = nullptr;

    void Show(const char* text, const char* caption) const {
        if (show != nullptr) show(context, text, caption);
    }
};

// The progress window of long work. The core drives it through these
// operations; a front end supplies the hooks (the GUI a window, the CLI a bar
// on a terminal). While no window exists, every operation but Create does
// nothing, so work below its progress threshold may step it freely.
struct ProgressHooks {
    // Gives the front end's window, or null when it shows none.
    void* (*create)(void* context, const char* title) = nullptr;
    void (*destroy)(void* context, void* window) = nullptr;
    void (*update)(void* context, void* window, uint32_t position, uint32_t maximum) = nullptr;
    void (*setText)(void* context, void* window, const char* text) = nullptr;
    void* context = nullptr;
};

class ProgressDialog {
public:
    explicit ProgressDialog(const ProgressHooks* h = nullptr) : hooks(h) {}
    ~ProgressDialog() { Destroy(); }
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    void SetHooks(const ProgressHooks* h) { hooks = h; }
    bool Create(const char* title) {
        Destroy();
        if (hooks != nullptr && hooks->create != nullptr) dialog = hooks->create(hooks->context, title);
        minimum = maximum = position = 0;
        step = 10;
        return true;
    }
    void Destroy() {
        if (dialog != nullptr && hooks->destroy != nullptr) hooks->destroy(hooks->context, dialog);
        dialog = nullptr;
    }
    bool IsShown() const { return dialog != nullptr; }
    // The range is 32 bits wide: a pack of more than 65,535 files must not
    // wrap the bar back to the start. Gives the previous maximum.
    uint32_t SetRange(uint32_t low, uint32_t high) {
        if (dialog == nullptr) return 0;
        uint32_t previous = maximum;
        minimum = low;
        maximum = high < low ? low : high;
        Update();
        return previous;
    }
    uint32_t SetPos(uint32_t pos) { return dialog == nullptr ? 0 : Exchange(position, pos); }
    uint32_t SetStep(uint32_t s) { return dialog == nullptr ? 0 : Exchange(step, s, false); }
    uint32_t StepIt() {
        if (dialog == nullptr) return 0;
        // Past the maximum the bar starts again, as a progress bar does.
        uint64_t next = uint64_t(position) + step;
        if (next > maximum) next = minimum + (next - minimum) % (uint64_t(maximum - minimum) + 1);
        return Exchange(position, static_cast<uint32_t>(next));
    }
    void SetText(const char* text) {
        if (dialog != nullptr && hooks->setText != nullptr) hooks->setText(hooks->context, dialog, text);
    }
    uint32_t Position() const { return position; }

private:
    uint32_t Exchange(uint32_t& field, uint32_t value, bool update = true) {
        uint32_t previous = field;
        field = value;
        if (update) Update();
        return previous;
    }
    void Update() {
        if (hooks->update != nullptr) hooks->update(hooks->context, dialog, position - minimum, maximum - minimum);
    }

    const ProgressHooks* hooks;
    void* dialog = nullptr;
    uint32_t minimum = 0, maximum = 0;
    uint32_t position = 0, step = 10;
};
