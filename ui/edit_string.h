#pragma once
// The text editor: 15 characters in a fixed-pitch field; up and down walk the character under the
// cursor through an alphabet.

#include "ui/screen_item.h"

struct ConfigString;

class EditString : public ScreenItem {
public:
    // Printable ASCII, then the Russian capitals, then the small letters.
    static const std::u32string& defaultAlphabet();
    // The well name's: no characters that file names or the protocols cannot carry.
    static const std::u32string& wellNameAlphabet();

    EditString(ConfigString& setting, const std::u32string& alphabet = defaultAlphabet(),
               size_t maxLength = 1000000);

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;

    const std::u32string& edited() const { return text_; }
    int cursor() const { return cursor_; }
    int firstShown() const { return first_; }

    static constexpr int kVisibleCharacters = 15;

private:
    void cycle(int direction);
    void draw();

    ConfigString& setting_;
    std::u32string alphabet_;
    size_t maxLength_;
    std::u32string text_;
    int cursor_ = 0;
    int first_ = 0;
};
