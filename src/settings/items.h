// The setting items every setting is made of: a choice among texts, a bounded number, a
// text of limited length and a key binding. The menus show and edit them (each carries the
// screen rectangle of its last drawing); the configuration file stores them by key.
#pragma once

struct InputAxis;   // an opened controller axis; defined by the platform input layer

// A rectangle in window pixels, written by the menu drawing; all -1 when not drawn.
struct ItemRect {
    int left, top, right, bottom;
};

struct ChoiceItem {
    const char *label;             // menu label, null for items no menu shows
    const char *const *choices;    // choice texts; storage owned by whoever built the list
    int count;                     // number of choices
    int index;                     // current choice, 0 .. count - 1
    ItemRect rect;
};

struct NumberItem {
    const char *label;
    double value;                  // always within minimum .. maximum
    double step;                   // what "left" and "right" add in the menus
    double minimum, maximum;
    ItemRect rect;
    int bar_left, bar_right;       // slider bar x range of the last drawing, -1 when not drawn
};

enum {
    TEXT_ITEM_CAPACITY = 256,      // longest text any item holds, plus its terminating zero
};

struct TextItem {
    const char *label;
    int max_length;                // characters, below TEXT_ITEM_CAPACITY
    char text[TEXT_ITEM_CAPACITY]; // zero-terminated, at most max_length characters used
    int insert;                    // 1: typing shifts the rest right (free text); 0: overwrites
    ItemRect rect;
};

struct KeyBinding {
    const char *label;
    const char *key_name;          // interned, or null
    int key_code;                  // from key_name once the input layer resolves it; -1 unset
    const char *axis_name;         // interned, or null
    InputAxis *axis;               // open handle of axis_name, or null
    float axis_min;                // raw / 32768 that gives level 0
    float axis_max;                // raw / 32768 that gives level 1
    ItemRect rect;
};

// Sets up an item with its label and range; the current value starts at the default.
void choice_init(ChoiceItem *item, const char *label, const char *const *choices, int count,
                 int index);
void number_init(NumberItem *item, const char *label, double value, double step,
                 double minimum, double maximum);
void text_init(TextItem *item, const char *label, int max_length, int insert, const char *text);

// The current choice text ("" for an empty list).
const char *choice_text(const ChoiceItem *item);
// Selects the choice whose text equals text exactly; 1 when found, else 0 and unchanged.
int choice_select(ChoiceItem *item, const char *text);
// Replaces the list of choices; the index becomes index (0 when outside the new list).
void choice_set_list(ChoiceItem *item, const char *const *choices, int count, int index);

// Stores value clamped to the item's range; NaN leaves the item unchanged (returns 0).
int number_set(NumberItem *item, double value);
// Reads text as a "%f" number (leading blanks, sign, decimals, exponent, "inf") and stores it
// clamped; 1 when a number was read, else 0 and the item is unchanged.
int number_parse(NumberItem *item, const char *text);

// Copies text into the item, cut to its maximum length.
void text_set(TextItem *item, const char *text);

// Reads text as a "%d" integer (leading blanks, sign, digits; values beyond the int range
// saturate); 1 when digits were read, else 0 and *value is unchanged.
int int_parse(int *value, const char *text);
