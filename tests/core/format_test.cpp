// The formatter: placeholders, the integer and float digit routines (pinned
// to their own digits, which differ from printf at ties), and scanning.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/containers.h"
#include "core/format.h"
#include "support/pool_fixture.h"

class FormatTest : public PoolTest {
protected:
    std::string text(String format, std::initializer_list<FormatArg> values) {
        StringBuilder builder = builder_init(POOL_FRAME);
        format_to_builder(&builder, format, values);
        return std::string((const char*)builder.data, (size_t)builder.length);
    }
    std::string float_text(double value, NumberFormat format = number_format_file) {
        StringBuilder builder = builder_init(POOL_FRAME);
        builder_put_float(&builder, value, format);
        return std::string((const char*)builder.data, (size_t)builder.length);
    }
    std::string integer_text(int64_t value, NumberFormat format = number_format_default) {
        StringBuilder builder = builder_init(POOL_FRAME);
        builder_put_integer(&builder, value, format);
        return std::string((const char*)builder.data, (size_t)builder.length);
    }
};

static NumberFormat with(int16_t base, int16_t width, int16_t precision, bool pad, char pad_char) {
    return NumberFormat{base, width, precision, (uint8_t)pad, (uint8_t)pad_char};
}

// ---------------------------------------------------------------------------
// Placeholders

TEST_F(FormatTest, PlaceholdersPickValuesInOrderOrByLetter) {
    EXPECT_EQ(text(S("100%% done"), {}), "100% done");
    EXPECT_EQ(text(S("unknown argument: %a\n"), {fmt_string(S("-q"))}), "unknown argument: -q\n");
    EXPECT_EQ(text(S("%a %."), {fmt_int(1), fmt_int(2)}), "1 2");
    EXPECT_EQ(text(S("%b %a %."), {fmt_int(1), fmt_int(2)}), "2 1 2");
    EXPECT_EQ(text(S("%B%A"), {fmt_int(1), fmt_int(2)}), "21");
    EXPECT_EQ(text(S("%. %% %."), {fmt_int(1), fmt_int(2)}), "1 % 2");
    EXPECT_EQ(text(S("count %"), {fmt_int(3)}), "count 3");
    EXPECT_EQ(text(S("%1%0"), {fmt_int(1), fmt_int(2)}), "21");  // a digit picks by number
}

TEST_F(FormatTest, TaggedValuesPrintByTag) {
    FormatArg unknown = fmt_int(99);
    unknown.tag = 3;
    EXPECT_EQ(text(S("[%.][%.][%.]"), {unknown, fmt_byte('x'), fmt_uint(UINT64_MAX)}), "[][x][18446744073709551615]");
    EXPECT_EQ(text(S("%. %."), {fmt_float(2.5f), fmt_string(S("ab\0c"))}), std::string("2.5 ab\0c", 8));
    EXPECT_EQ(text(S("%. %."), {fmt_float(1.0 / 3), fmt_float(1.0 / 3, number_format_file)}), "0.3333 0.333333333333");
}

TEST_F(FormatTest, PlaceholderPastTheListPrintsNothing) {
    EXPECT_EQ(text(S("a%.b%.c%zd"), {fmt_int(1)}), "a1bcd");
}

TEST_F(FormatTest, ConsoleOutputGoesToStandardOutputOnly) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    print(S("x="));
    print_integer(-5, number_format_default);
    print(S(" y="));
    print_float(0.25, number_format_default);
    format_print(S(" %. %.\n"), {fmt_uint(7), fmt_string(S("z"))});
    print_unsigned(8, number_format_default);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "x=-5 y=0.25 7 z\n8");
}

// Each message leaves the process when it is printed: a child writes into a
// pipe with stdio fully buffered and ends without any exit-time flush (as a
// crash would); every message must have arrived.
TEST_F(FormatTest, ConsoleMessagesAreFlushedOneByOne) {
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    std::fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipe_ends[0]);
        dup2(pipe_ends[1], 1);
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
        print(S("a "));
        format_print(S("%. "), {fmt_int(3)});
        print_integer(-4, number_format_default);
        print_unsigned(5, number_format_default);
        print_float(0.5, number_format_default);
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string received;
    char chunk[256];
    ssize_t got;
    while ((got = read(pipe_ends[0], chunk, sizeof chunk)) > 0) received.append(chunk, (size_t)got);
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(received, "a 3 -450.5");
}

TEST_F(FormatTest, BuilderOutputGoesAtTheCursor) {
    StringBuilder builder = builder_init(POOL_FRAME);
    builder_put_string(&builder, S("abcdef"));
    builder.cursor = 2;
    builder_put_integer(&builder, 42, number_format_default);
    builder_put_unsigned(&builder, 9, number_format_default);
    EXPECT_EQ(std::string((const char*)builder.data, (size_t)builder.length), "ab429f");
    EXPECT_EQ(builder.cursor, 5);
}

// ---------------------------------------------------------------------------
// Integers

TEST_F(FormatTest, Integers) {
    struct Case { int64_t value; NumberFormat format; std::string expected; };
    const Case cases[] = {
        {0, number_format_default, "0"},
        {-5, number_format_default, "-5"},
        {1234567, number_format_default, "1234567"},
        {INT64_MIN, number_format_default, "-9223372036854775808"},
        {INT64_MAX, number_format_default, "9223372036854775807"},
        {255, with(16, 64, 0, false, '0'), "ff"},
        {255, with(16, 1, 0, false, '0'), "f"},
        {-1, with(2, 64, 0, false, '0'), "-1"},
        {INT64_MIN, with(2, 64, 0, false, '0'), "-1000000000000000000000000000000000000000000000000000000000000000"},
        {35, with(36, 64, 0, false, '0'), "z"},
        {7, with(10, 3, 0, true, '0'), "007"},
        {-7, with(10, 3, 0, true, '0'), "-007"},
        {7, with(10, 3, 0, false, '0'), "7"},
        {1234, with(10, 3, 0, true, '0'), "234"},
        {1234, with(10, 0, 0, true, '0'), ""},
        {-12, with(10, -1, 0, false, '0'), "-"},
        {1234, with(0, 64, 0, false, '0'), "0"},
        {5, with(10, 100, 0, true, ' '), std::string(99, ' ') + "5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(integer_text(c.value, c.format), c.expected) << c.value << " base " << c.format.base;
    }
}

// ---------------------------------------------------------------------------
// Floats

TEST_F(FormatTest, FloatsWithTheFileFormat) {
    struct Case { double value; const char* expected; };
    const Case cases[] = {
        {1.0, "1"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {1.0 / 3, "0.333333333333"},
        {2.0 / 3, "0.666666666667"},
        {3.14159265358979, "3.14159265359"},
        {1.5e-7, "0.00000015"},
        {1e-13, "0"},
        {0.9999999999999, "1"},
        {9.9999999999999, "10"},
        {1e20, "100000000000000000000"},
        {-0.0, "0"},
        {-1e-13, "-0"},
        {0.0, "0"},
        // Not printf's "68.358520507813": the digit loop's remainder falls
        // just below the tie. Stored files depend on this.
        {68.3585205078125, "68.358520507812"},
        {466, "466"},
        {0.1, "0.1"},
        {INFINITY, "infinity"},
        {-INFINITY, "-infinity"},
        {NAN, "nan"},
        {-NAN, "nan"},
    };
    for (const Case& c : cases) EXPECT_EQ(float_text(c.value), c.expected) << c.value;
}

TEST_F(FormatTest, FloatsWithTheDefaultFormat) {
    EXPECT_EQ(float_text(2.5, number_format_default), "2.5");
    EXPECT_EQ(float_text(0.00004, number_format_default), "0");
    EXPECT_EQ(float_text(0.00005, number_format_default), "0.0001");
    EXPECT_EQ(float_text(16.667, number_format_default), "16.667");
    EXPECT_EQ(float_text(-0.99999, number_format_default), "-1");
}

TEST_F(FormatTest, FloatWidthPaddingAndCarry) {
    EXPECT_EQ(float_text(123.5, with(10, 2, 1, false, '0')), "23.5");   // last two integer digits
    EXPECT_EQ(float_text(0.5, with(10, 0, 1, false, '0')), ".5");
    EXPECT_EQ(float_text(9.99999, with(10, 1, 4, false, '0')), "0");    // carry with no room stays 0
    EXPECT_EQ(float_text(9.99999, with(10, 2, 4, false, '0')), "10");
    EXPECT_EQ(float_text(2.5, with(10, 8, 3, true, '0')), "00000002.500");
    EXPECT_EQ(float_text(2.5, with(10, 8, 3, true, ' ')), "       2.5  ");
    EXPECT_EQ(float_text(-2.0, with(10, 3, 2, true, '_')), "-__2.__");
    EXPECT_EQ(float_text(255.5, with(16, 64, 2, false, '0')), "ff.8");
    EXPECT_EQ(float_text(3.75, with(0, 64, 2, false, '0')), "3.75");   // no float base below 2: decimal
    EXPECT_EQ(float_text(1.0 / 3, with(10, 64, -3, false, '0')), "0");
}

// Values whose digits do not fit the 64-place buffer print every integer
// digit (leading ones computed, the rest zeros) and no fraction; they must
// still read back as the value.
TEST_F(FormatTest, HugeFloatsPrintAllTheirIntegerDigits) {
    const double values[] = {1e51, 1.2345e55, 1e63, 1e64, 1e70, 1e300, DBL_MAX};
    for (double value : values) {
        std::string printed = float_text(value);
        EXPECT_EQ(printed.find('.'), std::string::npos) << printed;
        EXPECT_GE(printed.size(), 52u);
        double back = std::strtod(printed.c_str(), nullptr);
        EXPECT_LE(std::fabs(back - value), value * 1e-15) << printed;
        EXPECT_EQ(float_text(-value), "-" + printed);
    }
    EXPECT_EQ(float_text(DBL_MAX).size(), 309u);
    // Padding past any buffer size is written in pieces.
    std::string wide = float_text(1.0, with(10, 1000, 1, true, '0'));
    EXPECT_EQ(wide.size(), 1002u);
    EXPECT_EQ(wide.substr(995), "00001.0");
}

// Straight from the description: all N places computed, then rounded and
// trimmed. builder_put_float stops at the rounding digit and must print the
// same text.
static std::string reference_float(double value, NumberFormat format) {
    std::string out;
    if (std::isnan(value)) return "nan";
    if (value < 0) {
        out += '-';
        value = -value;
    }
    if (std::isinf(value)) return out + "infinity";
    int base = format.base, width = format.width, precision = format.precision;
    double b = base;
    int k = 1;
    double d = 1;
    if (value >= b) {
        double p = b;
        int factors = 1;
        while (value >= p * b) {
            p *= b;
            factors++;
        }
        k = factors + 1;
        d = p;
    }
    int n = std::min(width + precision + 1, 64);
    int digits[64] = {};
    for (int i = 0; i < n; i++) {
        int digit = (int)(value / d);
        value -= digit * d;
        d /= b;
        digits[i] = digit;
        if (k > width) {
            i--;
            k--;
        }
    }
    if (digits[k + precision] >= (base + 1) / 2) {
        int i = k + precision - 1;
        while (i >= 0 && digits[i] == base - 1) digits[i--] = 0;
        if (i >= 0) digits[i]++;
        else if (k < width) digits[0] = 1, k++;
    }
    for (int i = 0; i < k; i++) out += (char)('0' + digits[i]);
    int last = -1;
    for (int i = k; i < k + precision; i++) {
        if (digits[i] != 0) last = i;
    }
    if (last >= 0) {
        out += '.';
        for (int i = k; i <= last; i++) out += (char)('0' + digits[i]);
    }
    return out;
}

TEST_F(FormatTest, PrintedDigitsMatchTheFullDigitLoop) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-16, 45);
    for (int i = 0; i < 200000; i++) {
        double value = unit(random) * std::pow(10.0, exponent(random));
        if (i % 3 == 0) value = std::round(value * 1024) / 1024;  // exact binary fractions: ties
        ASSERT_EQ(float_text(value), reference_float(value, number_format_file)) << value;
        ASSERT_EQ(float_text(value, number_format_default), reference_float(value, number_format_default)) << value;
    }
}

// The export's numbers read back to within one unit of the 12th decimal
// (plus the double's own spacing, which is coarser than that above 2^12).
TEST_F(FormatTest, FileFormatReadsBackWithinTheLastPrintedDecimal) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> wide(-1e15, 1e15);
    std::uniform_real_distribution<double> narrow(-1000, 1000);
    for (int i = 0; i < 100000; i++) {
        double value = i % 2 ? wide(random) : narrow(random);
        std::string printed = float_text(value);
        double back = std::strtod(printed.c_str(), nullptr);
        double spacing = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
        ASSERT_LE(std::fabs(back - value), 1e-12 + spacing) << printed << " for " << value;
    }
}

// Next to a power of ten the division chain can yield a quotient of 10 or a
// negative one; it is clamped to a digit. The texts are pinned so that the
// choice is not lost, and every value there still prints as digits that read
// back within a few units in the last place.
TEST_F(FormatTest, DigitsNextToPowersOfTenAreClamped) {
    EXPECT_EQ(float_text(std::nextafter(1e24, 0)), "999999999999999895142400");
    EXPECT_EQ(float_text(1e24), "1000000000000000000000000");
    EXPECT_EQ(float_text(std::nextafter(1e23, 0)), "99999999999999979028480");
    EXPECT_EQ(float_text(std::nextafter(1e23, 1e30)), "100000000000000016777216");
    EXPECT_EQ(float_text(std::nextafter(1e30, 0)), "1000000000000000000000000000000");   // one unit up
    EXPECT_EQ(float_text(std::nextafter(0.1, 0)), "0.1");
    EXPECT_EQ(float_text(std::nextafter(1.0, 0), number_format_default), "1");
    for (int power = -20; power <= 63; power++) {
        double ten = std::pow(10.0, power);
        double value = ten;
        for (int step = 0; step < 4; step++) value = std::nextafter(value, 0);
        for (int step = 0; step < 8; step++, value = std::nextafter(value, INFINITY)) {
            std::string printed = float_text(value);
            ASSERT_EQ(printed.find_first_not_of("0123456789."), std::string::npos) << printed;
            double back = std::strtod(printed.c_str(), nullptr);
            double spacing = std::nextafter(value, INFINITY) - value;
            EXPECT_LE(std::fabs(back - value), 1e-12 + 4 * spacing) << printed << " for " << value;
        }
    }
}

// ---------------------------------------------------------------------------
// Scanning

static double scan(const char* text, int64_t* position = nullptr) {
    TextReader reader = reader_make(string_from_cstring(text));
    double value = scan_float(&reader);
    if (position) *position = reader.position;
    return value;
}

TEST_F(FormatTest, ScanFloatSyntaxAndCursor) {
    struct Case { const char* text; double value; int64_t position; };
    const Case cases[] = {
        {"12.50,", 12.5, 5},
        {"-.5", -0.5, 3},
        {"abc", 0, 0},
        {"1e5", 1, 1},
        {"+1", 0, 0},
        {"3.", 3, 2},
        {".", 0, 1},
        {"1.2.3 ", 1.23, 5},  // every digit after any point is a fraction digit
        {"007.25x", 7.25, 6},
        {"", 0, 0},
        {"-0x1p3", -0.0, 2},
    };
    for (const Case& c : cases) {
        int64_t position = -1;
        double value = scan(c.text, &position);
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(position, c.position) << c.text;
    }
    int64_t position = 0;
    double lone_minus = scan("-", &position);
    EXPECT_EQ(lone_minus, 0.0);
    EXPECT_TRUE(std::signbit(lone_minus));
    EXPECT_EQ(position, 1);
    EXPECT_TRUE(std::signbit(scan("-abc")));
    EXPECT_FALSE(std::signbit(scan("0.0")));
}

TEST_F(FormatTest, ScanFloatGivesTheNearestDouble) {
    EXPECT_EQ(scan("7"), 7.0);
    EXPECT_EQ(scan("0.1"), 0.1);
    EXPECT_EQ(scan("466"), 466.0);
    EXPECT_EQ(scan("68.3585205078125"), 68.3585205078125);
    EXPECT_EQ(scan("9007199254740993"), 9007199254740992.0);   // 2^53 + 1: tie to even
    EXPECT_EQ(scan("1.00000000000000011102230246251565404236316680908203125"), 1.0);
    EXPECT_EQ(scan("1.000000000000000111022302462515654042363166809082031251"), std::nextafter(1.0, 2.0));
    EXPECT_EQ(scan("0.0000000000000000000000000000000000000000000000000000000000000000000000000001"), 1e-76);
    // Just below the halfway point to the next power of two: the largest double.
    EXPECT_EQ(scan(("17976931348623158" + std::string(292, '0')).c_str()), DBL_MAX);
    EXPECT_EQ(scan(("2" + std::string(308, '0')).c_str()), INFINITY);
    EXPECT_EQ(scan(("0." + std::string(400, '0') + "1").c_str()), 0.0);
}

// Random decimal texts of every shape the files hold, compared bit for bit
// with the C library's correctly rounded conversion.
TEST_F(FormatTest, ScanFloatMatchesStrtod) {
    std::mt19937_64 random(3);
    char text[80];
    for (int i = 0; i < 300000; i++) {
        int digits = 1 + (int)(random() % (i % 4 == 0 ? 40 : 19));
        int point = (int)(random() % (digits + 2)) - 1;  // -1: no point
        int length = 0;
        if (random() % 2) text[length++] = '-';
        int leading_zeros = (int)(random() % 4 == 0 ? random() % 25 : 0);
        for (int z = 0; z < leading_zeros; z++) text[length++] = '0';
        for (int d = 0; d < digits; d++) {
            if (d == point) text[length++] = '.';
            text[length++] = (char)('0' + random() % 10);
        }
        text[length] = 0;
        int64_t position = 0;
        double value = scan(text, &position);
        ASSERT_EQ(position, length) << text;
        double expected = std::strtod(text, nullptr);
        ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << " " << value << " " << expected;
    }
}

// Long texts: every digit counts, however far it lies.
TEST_F(FormatTest, ScanFloatReadsLongTexts) {
    std::string ones(100, '1');
    int64_t position = 0;
    double value = scan(ones.c_str(), &position);
    EXPECT_EQ(position, 100);
    EXPECT_EQ(value, std::strtod(ones.c_str(), nullptr));
    std::string fraction = "0." + std::string(80, '3') + "9";
    EXPECT_EQ(scan(fraction.c_str()), std::strtod(("0." + std::string(64, '3')).c_str(), nullptr));

    // 2^53 + 1 is a tie; any later nonzero digit lifts it to the even above.
    EXPECT_EQ(scan("9007199254740993.0000000000000000000000000000000000000000000000001"), 9007199254740994.0);
    EXPECT_EQ(scan(("9007199254740993." + std::string(2000, '0') + "1").c_str()), 9007199254740994.0);
    EXPECT_EQ(scan(("9007199254740993." + std::string(2000, '0')).c_str()), 9007199254740992.0);
    EXPECT_EQ(scan(("9007199254740992." + std::string(2000, '9')).c_str()), 9007199254740992.0);
    // Digits past any kept count still move the point.
    std::string wide = "1" + std::string(1500, '0') + ".5";
    position = 0;
    EXPECT_EQ(scan(wide.c_str(), &position), INFINITY);
    EXPECT_EQ(position, (int64_t)wide.size());
    EXPECT_EQ(scan(("0." + std::string(323, '0') + "2470328229206232720882538").c_str()), 0.0);   // under half the least
    EXPECT_EQ(scan(("-0." + std::string(323, '0') + "49406564584124654").c_str()), -DBL_TRUE_MIN);
}

// Midpoints between neighbouring doubles written out in full (up to 1 100
// places), exactly, just above and just below, with the deciding digit far
// past any fixed count: compared bit for bit with the C library.
TEST_F(FormatTest, ScanFloatRoundsLongMidpointsCorrectly) {
    std::mt19937_64 random(5);
    std::vector<char> text(4000);
    int checked = 0;
    for (int i = 0; i < 600; i++) {
        double value;
        uint64_t bits = random();
        if (i % 3 == 0) bits &= 0x000FFFFFFFFFFFFFull;   // subnormals
        std::memcpy(&value, &bits, sizeof value);
        value = std::fabs(value);
        if (!std::isfinite(value) || value > 1e300) continue;
        long double middle = ((long double)value + (long double)std::nextafter(value, INFINITY)) / 2;
        int length = std::snprintf(text.data(), text.size(), "%.1100Lf", middle);
        ASSERT_LT(length, (int)text.size() - 1500);
        std::string exact(text.data(), (size_t)length);
        while (exact.back() == '0') exact.pop_back();
        std::string above = exact + std::string(900, '0') + "1";
        std::string below = exact;
        size_t last = below.find_last_not_of("0.");
        below[last]--;   // the last digit of a midpoint is 5, never 0
        below += std::string(900, '9');
        for (const std::string& t : {exact, above, below}) {
            int64_t position = 0;
            double got = scan(t.c_str(), &position);
            double expected = std::strtod(t.c_str(), nullptr);
            ASSERT_EQ(position, (int64_t)t.size());
            ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << t.substr(0, 80) << "... " << got << " " << expected;
        }
        EXPECT_NE(std::strtod(above.c_str(), nullptr), std::strtod(below.c_str(), nullptr));
        checked++;
    }
    EXPECT_GT(checked, 300);
}

TEST_F(FormatTest, ScanStopsAtTheEndOfTheView) {
    const char digits[] = "123456";
    TextReader reader = reader_make(String{(const uint8_t*)digits, 3});
    EXPECT_EQ(scan_float(&reader), 123.0);
    EXPECT_EQ(reader.position, 3);
    reader = reader_make(String{(const uint8_t*)digits, 2});
    EXPECT_EQ(scan_integer(&reader), 12);
    EXPECT_EQ(reader.position, 2);
    reader.position = 5;
    EXPECT_EQ(scan_integer(&reader), 0);
    EXPECT_EQ(scan_float(&reader), 0.0);
    EXPECT_EQ(reader.position, 5);
}

TEST_F(FormatTest, ScanInteger) {
    struct Case { const char* text; int64_t value; int64_t position; };
    const Case cases[] = {
        {"", 0, 0},
        {"-x", 0, 1},
        {"-", 0, 1},
        {"abc", 0, 0},
        {"42abc", 42, 2},
        {"-17 ", -17, 3},
        {"007", 7, 3},
        {"3.5", 3, 1},
        {"9223372036854775807", INT64_MAX, 19},
        {"-9223372036854775808", INT64_MIN, 20},
        {"99999999999999999999999", INT64_MAX, 23},   // saturates instead of wrapping
        {"-99999999999999999999999", INT64_MIN, 24},
    };
    for (const Case& c : cases) {
        TextReader reader = reader_make(string_from_cstring(c.text));
        EXPECT_EQ(scan_integer(&reader), c.value) << c.text;
        EXPECT_EQ(reader.position, c.position) << c.text;
    }
}
