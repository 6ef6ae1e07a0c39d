/*
 * check.h - minimal test runner for the C library tests: CHECK macros and a table of named tests.
 */
#ifndef CHECK_H_
#define CHECK_H_

#include <stdio.h>
#include <string.h>

extern int g_check_failures;
extern const char* g_check_context;

#define CHECK(cond)                                                                                              \
    do                                                                                                           \
    {                                                                                                            \
        if (!(cond))                                                                                             \
        {                                                                                                        \
            fprintf(stderr, "%s:%d: [%s] CHECK failed: %s\n", __FILE__, __LINE__, g_check_context, #cond);      \
            g_check_failures++;                                                                                  \
        }                                                                                                        \
    } while (0)

#define CHECK_EQ_INT(a, b)                                                                                       \
    do                                                                                                           \
    {                                                                                                            \
        long long va_ = (long long)(a), vb_ = (long long)(b);                                                    \
        if (va_ != vb_)                                                                                          \
        {                                                                                                        \
            fprintf(stderr, "%s:%d: [%s] CHECK_EQ failed: %s = %lld, expected %s = %lld\n", __FILE__, __LINE__, \
                    g_check_context, #a, va_, #b, vb_);                                                          \
            g_check_failures++;                                                                                  \
        }                                                                                                        \
    } while (0)

#define CHECK_EQ_STR(a, b)                                                                                       \
    do                                                                                                           \
    {                                                                                                            \
        const char* sa_ = (a);                                                                                   \
        const char* sb_ = (b);                                                                                   \
        if (sa_ == NULL || sb_ == NULL || strcmp(sa_, sb_) != 0)                                                 \
        {                                                                                                        \
            fprintf(stderr, "%s:%d: [%s] CHECK_EQ_STR failed:\n  got:      ", __FILE__, __LINE__, g_check_context); \
            check_print_escaped(sa_);                                                                            \
            fprintf(stderr, "\n  expected: ");                                                                   \
            check_print_escaped(sb_);                                                                            \
            fprintf(stderr, "\n");                                                                               \
            g_check_failures++;                                                                                  \
        }                                                                                                        \
    } while (0)

/* Sets the check context to the printf-style text (kept until the next call). */
void check_context(const char* format, ...);

/* Prints text to stderr in double quotes with control characters escaped. */
void check_print_escaped(const char* text);

typedef struct CheckTest
{
    const char* name;
    void (*fn)(void);
} CheckTest;

/*
 * FAMILY_TEST(name) { ... } defines a test whose body runs once per modem family, with the family index
 * in `f`. The program provides FAMILY_COUNT, family_begin() (before each run: sets the check context
 * "<test>/<family>/echo<n>") and family_end() (after the last run).
 */
void family_begin(const char* test, int family);
void family_end(void);
#define FAMILY_TEST(name)                                                                                        \
    static void name##_run(int f);                                                                               \
    static void name(void)                                                                                       \
    {                                                                                                            \
        int f;                                                                                                   \
        for (f = 0; f < FAMILY_COUNT; f++)                                                                       \
        {                                                                                                        \
            family_begin(#name, f);                                                                              \
            name##_run(f);                                                                                       \
        }                                                                                                        \
        family_end();                                                                                            \
    }                                                                                                            \
    static void name##_run(int f)

/* Runs the tests (all, or the one named in argv[1]); returns the process exit code. */
int check_run(const CheckTest* tests, size_t count, int argc, char** argv);

#endif /* CHECK_H_ */
