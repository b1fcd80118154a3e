// The text scanner every text format is read with: a formatted reader working directly on a
// data stream through its one-character pushback, so that it reads plain files, archive
// members and gzip data alike and never reads past the end of a member.
//
// Its rules, which the file formats depend on:
// - Whitespace (space, tab, line feed, vertical tab, form feed, carriage return) in the
//   format skips any amount of whitespace in the input, none included, and never fails.
// - Any other character but '%' must equal the next input character, which is consumed; a
//   mismatch, or the end of the input there, returns -1 whatever was assigned before.
// - '%' starts a conversion: a decimal width and the modifiers '*' (no assignment), 'h'
//   (int16_t target), 'l' (double target for f; "ll" long double), 'L' or 'q' (long double
//   target for f), then one of % d i o x X f s c [ n. Integer targets are int32_t whatever
//   'l' says. Any other conversion character ends the scan with the count so far.
// - The width counts every consumed character, sign and prefix included; 1000000 when
//   absent (1 for c). d, i, o, x, X, f and s skip leading whitespace; c, [ and n do not.
// - The result is the number of assignments (suppressed conversions and n not counted) when
//   the format ends or a conversion matches nothing; -1 when the input ends before the first
//   assignment where a conversion needed input.
#include "files/data.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>

#include "files/files_local.h"

enum {
    SCAN_WIDTH_DEFAULT = 1000000,   // width of a conversion that gives none
    SCAN_WIDTH_MAX = 100000000,     // larger widths are cut to this
    EXPONENT_MAX = 100000,          // exponent digits beyond this no longer change the value
};

enum ScanStatus {
    SCAN_DONE,        // matched
    SCAN_NO_MATCH,    // a matching failure: the scan ends with the count so far
    SCAN_INPUT_END,   // the input ended before the conversion found its first character
};

enum { WIDTH_USED = -2 };   // a "character" meaning the width allows no more reading

// 10^(2^k) for k = 0..12: the factors picked by the bits of a decimal exponent.
static const long double ten_powers[13] = {1e1L,   1e2L,   1e4L,    1e8L,    1e16L,
                                           1e32L,  1e64L,  1e128L,  1e256L,  1e512L,
                                           1e1024L, 1e2048L, 1e4096L};

static int is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads past whitespace; returns the first other character (consumed) or -1 at the end.
static int skip_space(DataStream *stream) {
    int c;
    do
        c = data_getc(stream);
    while (is_space(c));
    return c;
}

// 0-9, then a-z or A-Z for 10 to 35; 36 for anything else.
static int digit_value(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 36;
}

// Reading inside one conversion: c is the character looked at (already taken from the
// stream), used the characters accepted so far.
struct ScanField {
    DataStream *stream;
    int width;
    int used;
    int c;
};

// Accepts the current character and looks at the next one, if the width allows.
static void field_take(ScanField *field) {
    field->used++;
    field->c = field->used < field->width ? data_getc(field->stream) : WIDTH_USED;
}

// Leaves the current character in the pushback.
static void field_end(ScanField *field) { data_ungetc(field->stream, field->c); }

// An integer in base 8, 10 or 16, or base 0 for the prefixes of %i.
static ScanStatus scan_integer(DataStream *stream, int width, int base, uint32_t *value) {
    ScanField field = {stream, width, 0, skip_space(stream)};
    if (field.c < 0)
        return SCAN_INPUT_END;
    int negative = 0, digits = 0;
    uint32_t total = 0;
    if (field.c == '+' || field.c == '-') {
        negative = field.c == '-';
        field_take(&field);
    }
    if (base == 0) {
        base = 10;
        if (field.c == '0') {
            // The 0 is a digit on its own; "0x" then needs a hexadecimal digit.
            digits = 1;
            base = 8;
            field_take(&field);
            if (field.c == 'x' || field.c == 'X') {
                digits = 0;
                base = 16;
                field_take(&field);
            }
        }
    }
    while (field.c >= 0 && digit_value(field.c) < base) {
        total = total * uint32_t(base) + uint32_t(digit_value(field.c));
        digits++;
        field_take(&field);
    }
    field_end(&field);
    if (!digits)
        return SCAN_NO_MATCH;
    *value = negative ? 0u - total : total;
    return SCAN_DONE;
}

// A decimal number with an optional exponent, the mantissa gathered in extended precision.
static ScanStatus scan_float(DataStream *stream, int width, long double *value) {
    ScanField field = {stream, width, 0, skip_space(stream)};
    if (field.c < 0)
        return SCAN_INPUT_END;
    int negative = 0, seen = 0, point = 0, exponent = 0;
    long double mantissa = 0;
    if (field.c == '+' || field.c == '-') {
        negative = field.c == '-';
        field_take(&field);
    }
    for (;;) {
        if (field.c >= '0' && field.c <= '9') {
            mantissa = mantissa * 10 + (field.c - '0');
            exponent -= point;
            seen = 1;
        } else if (field.c == '.' && !point) {
            point = 1;
            seen = 1;
        } else {
            break;
        }
        field_take(&field);
    }
    if (field.c == 'e' || field.c == 'E') {
        field_take(&field);
        int exponent_negative = 0, given = 0;
        if (field.c == '+' || field.c == '-') {
            exponent_negative = field.c == '-';
            field_take(&field);
        }
        while (field.c >= '0' && field.c <= '9') {
            if (given < EXPONENT_MAX)
                given = given * 10 + (field.c - '0');
            field_take(&field);
        }
        exponent += exponent_negative ? -given : given;
    }
    field_end(&field);
    if (!seen)
        return SCAN_NO_MATCH;
    int magnitude = exponent < 0 ? -exponent : exponent;
    long double power = 1;
    for (int bit = 0; bit < 13; bit++)
        if (magnitude >> bit & 1)
            power *= ten_powers[bit];
    if (magnitude >> 13)
        power = HUGE_VALL;
    if (exponent < 0)
        power = 1 / power;
    // A zero mantissa stays zero whatever the exponent (zero times infinity is not a number).
    long double result = mantissa == 0 ? 0.0L : mantissa * power;
    *value = negative ? -result : result;
    return SCAN_DONE;
}

// Reads the set of a '[' conversion from format (just past the '['): member[c] tells
// whether byte c belongs. Returns the format just past the closing ']', or at its end when
// the set is not closed (closed is then 0).
static const char *set_parse(const char *format, uint8_t member[256], int *closed) {
    int negate = *format == '^';
    if (negate)
        format++;
    for (int c = 0; c < 256; c++)
        member[c] = 0;
    *closed = 0;
    for (int first = 1; *format; first = 0) {
        if (*format == ']' && !first) {
            *closed = 1;
            format++;
            break;
        }
        if (format[1] == '-' && format[2] && format[2] != ']') {
            // A range, compared as signed characters.
            signed char low = static_cast<signed char>(format[0]);
            signed char high = static_cast<signed char>(format[2]);
            for (int c = 0; c < 256; c++) {
                signed char s = static_cast<signed char>(c);
                if (low <= s && s <= high)
                    member[c] = 1;
            }
            format += 3;
        } else {
            member[static_cast<uint8_t>(*format)] = 1;
            format++;
        }
    }
    if (negate)
        for (int c = 0; c < 256; c++)
            member[c] = !member[c];
    return format;
}

int data_scan(DataStream *stream, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int count = 0;
    int start = data_position(stream);
    int result = -3;   // set when the scan ends early
    while (*format && result == -3) {
        unsigned char f = static_cast<unsigned char>(*format);
        if (is_space(f)) {
            data_ungetc(stream, skip_space(stream));
            format++;
            continue;
        }
        if (f != '%') {
            int c = data_getc(stream);
            if (c != f) {
                data_ungetc(stream, c);
                result = -1;
            }
            format++;
            continue;
        }
        format++;
        int width = 0, suppress = 0, half = 0, longs = 0, extended = 0;
        for (;; format++) {
            if (*format >= '0' && *format <= '9') {
                width = width * 10 + (*format - '0');
                if (width > SCAN_WIDTH_MAX)
                    width = SCAN_WIDTH_MAX;
            } else if (*format == '*') {
                suppress = 1;
            } else if (*format == 'h') {
                half = 1;
            } else if (*format == 'l') {
                longs++;
            } else if (*format == 'L' || *format == 'q') {
                extended = 1;
            } else {
                break;
            }
        }
        char conversion = *format;
        if (conversion)
            format++;
        if (width == 0)
            width = conversion == 'c' ? 1 : SCAN_WIDTH_DEFAULT;
        ScanStatus status = SCAN_DONE;
        int assigns = !suppress;
        switch (conversion) {
        case '%': {
            int c = data_getc(stream);
            if (c != '%') {
                data_ungetc(stream, c);
                result = -1;
            }
            assigns = 0;
            break;
        }
        case 'd':
        case 'i':
        case 'o':
        case 'x':
        case 'X': {
            int base = conversion == 'd' ? 10 : conversion == 'i' ? 0 : conversion == 'o' ? 8 : 16;
            uint32_t value;
            status = scan_integer(stream, width, base, &value);
            if (status == SCAN_DONE && assigns) {
                if (half)
                    *va_arg(args, int16_t *) = int16_t(value);
                else
                    *va_arg(args, int32_t *) = int32_t(value);
            }
            break;
        }
        case 'f': {
            long double value;
            status = scan_float(stream, width, &value);
            if (status == SCAN_DONE && assigns) {
                if (extended || longs >= 2)
                    *va_arg(args, long double *) = value;
                else if (longs == 1)
                    *va_arg(args, double *) = double(value);
                else
                    *va_arg(args, float *) = float(value);
            }
            break;
        }
        case 's': {
            char *out = assigns ? va_arg(args, char *) : nullptr;
            ScanField field = {stream, width, 0, skip_space(stream)};
            if (field.c < 0) {
                status = SCAN_INPUT_END;
                break;
            }
            while (field.c >= 0 && !is_space(field.c)) {
                if (out)
                    out[field.used] = char(field.c);
                field_take(&field);
            }
            field_end(&field);
            if (out)
                out[field.used] = 0;
            break;
        }
        case 'c': {
            char *out = assigns ? va_arg(args, char *) : nullptr;
            for (int i = 0; i < width; i++) {
                int c = data_getc(stream);
                if (c < 0) {
                    status = SCAN_INPUT_END;
                    break;
                }
                if (out)
                    out[i] = char(c);
            }
            break;
        }
        case '[': {
            uint8_t member[256];
            int closed;
            format = set_parse(format, member, &closed);
            char *out = assigns ? va_arg(args, char *) : nullptr;
            ScanField field = {stream, width, 0, data_getc(stream)};
            if (field.c < 0) {
                status = SCAN_INPUT_END;
                break;
            }
            while (field.c >= 0 && member[field.c]) {
                if (out)
                    out[field.used] = char(field.c);
                field_take(&field);
            }
            field_end(&field);
            if (!field.used) {
                status = SCAN_NO_MATCH;
                break;
            }
            if (out)
                out[field.used] = 0;
            if (!closed)
                result = count + assigns;   // the format ended inside the set
            break;
        }
        case 'n': {
            int consumed = data_position(stream) - start;
            if (assigns) {
                if (half)
                    *va_arg(args, int16_t *) = int16_t(consumed);
                else
                    *va_arg(args, int32_t *) = consumed;
            }
            assigns = 0;
            break;
        }
        default:
            result = count;   // not a conversion this scanner knows
            assigns = 0;
            break;
        }
        if (status == SCAN_INPUT_END)
            result = count ? count : -1;
        else if (status == SCAN_NO_MATCH)
            result = count;
        else if (result == -3)
            count += assigns;
    }
    va_end(args);
    return result == -3 ? count : result;
}
