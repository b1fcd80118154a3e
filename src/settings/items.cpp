// Setting items: construction and the value rules the configuration file and the menus share.
#include "settings/items.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

static const ItemRect NO_RECT = {-1, -1, -1, -1};

void choice_init(ChoiceItem *item, const char *label, const char *const *choices, int count,
                 int index) {
    item->label = label;
    item->rect = NO_RECT;
    choice_set_list(item, choices, count, index);
}

void number_init(NumberItem *item, const char *label, double value, double step,
                 double minimum, double maximum) {
    item->label = label;
    item->step = step;
    item->minimum = minimum;
    item->maximum = maximum;
    item->value = minimum;
    number_set(item, value);
    item->rect = NO_RECT;
    item->bar_left = -1;
    item->bar_right = -1;
}

void text_init(TextItem *item, const char *label, int max_length, int insert, const char *text) {
    item->label = label;
    if (max_length < 0)
        max_length = 0;
    if (max_length > TEXT_ITEM_CAPACITY - 1)
        max_length = TEXT_ITEM_CAPACITY - 1;
    item->max_length = max_length;
    item->insert = insert;
    item->rect = NO_RECT;
    text_set(item, text);
}

const char *choice_text(const ChoiceItem *item) {
    if (item->index < 0 || item->index >= item->count)
        return "";
    return item->choices[item->index];
}

int choice_select(ChoiceItem *item, const char *text) {
    for (int i = 0; i < item->count; i++) {
        if (strcmp(item->choices[i], text) == 0) {
            item->index = i;
            return 1;
        }
    }
    return 0;
}

void choice_set_list(ChoiceItem *item, const char *const *choices, int count, int index) {
    item->choices = choices;
    item->count = count;
    item->index = index >= 0 && index < count ? index : 0;
}

int number_set(NumberItem *item, double value) {
    if (std::isnan(value))
        return 0;
    if (value < item->minimum)
        value = item->minimum;
    if (value > item->maximum)
        value = item->maximum;
    item->value = value;
    return 1;
}

int number_parse(NumberItem *item, const char *text) {
    char *end;
    double value = strtod(text, &end);
    if (end == text)
        return 0;
    return number_set(item, value);
}

void text_set(TextItem *item, const char *text) {
    // A text is one line of the configuration file: a line end inside it could not be
    // written back, so the text stops there.
    size_t length = strcspn(text, "\r\n");
    if (length > static_cast<size_t>(item->max_length))
        length = static_cast<size_t>(item->max_length);
    memcpy(item->text, text, length);
    item->text[length] = 0;
}

int int_parse(int *value, const char *text) {
    char *end;
    long long read = strtoll(text, &end, 10);
    if (end == text)
        return 0;
    if (read > INT_MAX)
        read = INT_MAX;
    if (read < INT_MIN)
        read = INT_MIN;
    *value = static_cast<int>(read);
    return 1;
}
