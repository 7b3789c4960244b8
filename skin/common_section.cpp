#include "skin/common_section.h"

#include "skin/skin_values.h"

void ReadCommonSection(const SkinValueRead& read, CommonSection* values) {
    std::string value;
    if (read("TextColor", &value))
        values->textColor = ParseColour(value);
    if (read("FontName", &value))
        values->fontName = value;
    if (read("FontSize", &value))
        values->fontSize = static_cast<int>(AtolLike(value));
    if (read("FontWeight", &value))
        values->fontWeight = static_cast<int>(AtolLike(value));
    if (read("Transparent", &value))
        values->transparent = ParseFlag(value);
    if (read("BkColor", &value))
        values->bkColor = ParseColour(value);
    if (read("ActiveColor", &value))
        values->activeColor = ParseColour(value);
    if (read("NoActiveColor", &value))
        values->noActiveColor = ParseColour(value);
    if (read("ClickOffset", &value)) {
        const PairValue offset = ParsePair(value);
        values->clickOffsetX = offset.a;
        values->clickOffsetY = offset.b;
    }
}
