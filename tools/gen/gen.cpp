// Writing generated files into the home tree.
#include "gen.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>

GenState gen;

int gen_write(const char *name, const void *bytes, size_t length)
{
    std::string path = gen.home + name;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    FILE *file = fopen(path.c_str(), "wb");
    bool ok = file && fwrite(bytes, 1, length, file) == length;
    if (file)
        ok = fclose(file) == 0 && ok;
    if (!ok)
        gen_fail(name);
    return ok;
}

int gen_write_text(const char *name, const std::string &text)
{
    return gen_write(name, text.data(), text.size());
}

std::string gen_format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    char small[512];
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (length < (int)sizeof small) {
        out.assign(small, length < 0 ? 0 : length);
    } else {
        out.resize(length + 1);
        vsnprintf(out.data(), out.size(), format, again);
        out.resize(length);
    }
    va_end(again);
    return out;
}

void gen_fail(const char *what)
{
    fprintf(stderr, "rutmoor-gen: can't write %s\n", what);
    gen.failures++;
}
