/*
 * check.c - test runner.
 */
#include "check.h"

#include <stdarg.h>

int g_check_failures;
const char* g_check_context = "";

int check_run(const CheckTest* tests, size_t count, int argc, char** argv)
{
    size_t i;
    int failed_tests = 0;
    int ran = 0;
    for (i = 0; i < count; i++)
    {
        int before = g_check_failures;
        if (argc > 1 && strcmp(argv[1], tests[i].name) != 0)
        {
            continue;
        }
        g_check_context = tests[i].name;
        tests[i].fn();
        ran++;
        if (g_check_failures != before)
        {
            failed_tests++;
            printf("FAIL %s\n", tests[i].name);
        }
        else
        {
            printf("PASS %s\n", tests[i].name);
        }
    }
    if (ran == 0)
    {
        fprintf(stderr, "no test named %s\n", argc > 1 ? argv[1] : "");
        return 2;
    }
    printf("%d of %d tests failed\n", failed_tests, ran);
    return failed_tests == 0 ? 0 : 1;
}

void check_context(const char* format, ...)
{
    static char text[200];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    g_check_context = text;
}

void check_print_escaped(const char* text)
{
    if (text == NULL)
    {
        fputs("(null)", stderr);
        return;
    }
    fputc('"', stderr);
    for (; *text; text++)
    {
        unsigned char c = (unsigned char)*text;
        if (c == '\r')
        {
            fputs("\\r", stderr);
        }
        else if (c == '\n')
        {
            fputs("\\n", stderr);
        }
        else if (c < 0x20 || c > 0x7E)
        {
            fprintf(stderr, "\\x%02X", c);
        }
        else
        {
            fputc(c, stderr);
        }
    }
    fputc('"', stderr);
}
