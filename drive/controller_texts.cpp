#include "drive/controller_types.h"

#include <cstddef>

namespace {

const char* const kSensorTexts[] = {"обрыв", "активен", "неактивен", "КЗ", "OK"};
const char* const kModeTexts[] = {"Ручной режим", "Режим \"Стоп\"", "Автоматический режим",
                                  "Переключатель неисправен"};
const char* const kModeShortTexts[] = {"руч", "стоп", "авто", "неисправен"};

template <size_t N> const char* textAt(const char* const (&texts)[N], int index, const char* otherwise) {
    return index >= 0 && static_cast<size_t>(index) < N ? texts[index] : otherwise;
}

} // namespace

const char* sensorStateText(int state) {
    return textAt(kSensorTexts, state, "???");
}

const char* modeSwitchText(int mode) {
    return textAt(kModeTexts, mode, "Неизвестный режим");
}

const char* modeSwitchShortText(int mode) {
    return textAt(kModeShortTexts, mode, "???");
}
