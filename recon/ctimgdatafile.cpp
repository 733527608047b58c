#include "recon/ctimgdatafile.h"

#include "recon/bigbuffer.h"
#include "recon/sixdigits.h"

#include <QDebug>
#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using u128 = unsigned __int128;

struct Pow10Table {
    u128 v[39];
    constexpr Pow10Table() : v()
    {
        u128 p = 1;
        for (int i = 0; i < 39; ++i) {
            v[i] = p;
            p *= 10;
        }
    }
};
constexpr Pow10Table kPow10;

// floor(a / b) for b > 0, also for negative a.
constexpr int floorDiv(long a, long b)
{
    return int(a >= 0 ? a / b : -((-a + b - 1) / b));
}

// floor(m * 2^e * 10^k) into *q and whether the rest is at least one half,
// computed exactly in 128 bits. False when the magnitudes do not fit; the
// caller then takes the slow road.
bool scaleExactly(std::uint64_t m, int e, int k, std::uint64_t* q, bool* roundUp)
{
    u128 num;
    u128 den;
    if (k >= 0) {
        if (k > 22 || e >= 0 || e <= -128)
            return false;
        const int s = -e;
        const u128 n = u128(m) * kPow10.v[k];
        const u128 mask = (u128(1) << s) - 1;
        *q = std::uint64_t(n >> s);
        *roundUp = (n & mask) >= (u128(1) << (s - 1));
        return true;
    }
    const int j = -k;
    if (e >= 0) {
        if (j > 38 || e > 74)
            return false;
        num = u128(m) << e;
        den = kPow10.v[j];
    } else {
        if (j > 22 || e < -52)
            return false;
        num = m;
        den = kPow10.v[j] << -e;
    }
    const u128 quot = num / den;
    const u128 rem = num - quot * den;
    *q = std::uint64_t(quot);
    *roundUp = rem >= den - rem;
    return true;
}

// Six significant digits of a positive normal double: digits q in
// [100000, 999999] and decimal exponent *dexp of the first digit.
bool sixDigits(std::uint64_t m, int e, std::uint64_t* q, int* dexp)
{
    // floor((e + 52) * log10(2)), possibly one off; corrected below.
    int d = floorDiv(long(e + 52) * 315653L, 1L << 20);
    bool up = false;
    for (int tries = 0; tries < 3; ++tries) {
        if (!scaleExactly(m, e, 5 - d, q, &up))
            return false;
        if (*q < 100000)
            --d;
        else if (*q >= 1000000)
            ++d;
        else
            break;
    }
    if (*q < 100000 || *q >= 1000000)
        return false;
    if (up && ++*q == 1000000) {
        *q = 100000;
        ++d;
    }
    *dexp = d;
    return true;
}

constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The same six digits from one correctly rounded multiplication or division
// by an exact power of ten: the scaled value is then off by at most 2^-34,
// so the rounding is certain unless it lies that close to a tie. False for
// those (and for magnitudes out of reach); the exact path decides them.
bool sixDigitsQuick(double a, int binaryExponent, std::uint64_t* q, int* dexp)
{
    int d = floorDiv(long(binaryExponent) * 315653L, 1L << 20);
    // The estimate is often one low; one comparison saves a second pass.
    if (d >= -1 && d < 21 && a >= kExactPow10[d + 1])
        ++d;
    for (int tries = 0; tries < 3; ++tries) {
        const int k = 5 - d;
        if (k > 22 || k < -22)
            return false;
        const double y = k >= 0 ? a * kExactPow10[k] : a / kExactPow10[-k];
        if (y < 100000.0) {
            --d;
            continue;
        }
        if (y >= 1000000.0) {
            ++d;
            continue;
        }
        const auto whole = std::uint64_t(y); // y > 0: truncation is the floor
        const double frac = y - double(whole);
        if (std::fabs(frac - 0.5) < 1e-9)
            return false;
        std::uint64_t r = whole + (frac > 0.5 ? 1 : 0);
        if (r == 1000000) {
            r = 100000;
            ++d;
        }
        *q = r;
        *dexp = d;
        return true;
    }
    return false;
}

// Eight characters packed first-in-lowest-byte, stored in text order.
inline void storeChars(char* p, std::uint64_t chars)
{
    const std::uint64_t le = qToLittleEndian(chars);
    std::memcpy(p, &le, 8);
}

constexpr char kTwoDigits[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                              "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                              "8081828384858687888990919293949596979899";

// Characters of n (0..99) packed first-in-lowest-byte.
inline std::uint64_t twoDigits(std::uint32_t n)
{
    return std::uint64_t(std::uint8_t(kTwoDigits[2 * n])) | (std::uint64_t(std::uint8_t(kTwoDigits[2 * n + 1])) << 8);
}

char* slowDouble6(double v, char* out)
{
    const QByteArray s = QString::number(v, 'g', 6).toLatin1();
    const std::size_t n = std::min<std::size_t>(std::size_t(s.size()), kDouble6MaxChars);
    std::memcpy(out, s.constData(), n);
    return out + n;
}

char* writeExponent(int d, char* p)
{
    *p++ = 'e';
    *p++ = d < 0 ? '-' : '+';
    int a = d < 0 ? -d : d;
    if (a >= 100) {
        *p++ = char('0' + a / 100);
        a %= 100;
    }
    *p++ = char('0' + a / 10);
    *p++ = char('0' + a % 10);
    return p;
}

// Decimal text of n (any sign) into out; returns the end.
char* formatInt(std::int64_t n, char* out)
{
    char tmp[24];
    char* t = tmp + sizeof tmp;
    std::uint64_t a = n < 0 ? std::uint64_t(0) - std::uint64_t(n) : std::uint64_t(n);
    do {
        *--t = char('0' + a % 10);
        a /= 10;
    } while (a != 0);
    if (n < 0)
        *--t = '-';
    const std::size_t len = std::size_t(tmp + sizeof tmp - t);
    std::memcpy(out, t, len);
    return out + len;
}

// The text of six digits (first in the lowest byte, nd of them kept) with
// decimal exponent d, as %g writes it.
inline char* layOut(std::uint64_t digits, int nd, int d, bool negative, char* p)
{
    if (negative)
        *p++ = '-';
    if (d < -4 || d >= 6) {
        p[0] = char(digits & 0xff);
        if (nd > 1) {
            p[1] = '.';
            storeChars(p + 2, digits >> 8);
            p += nd + 1;
        } else {
            p += 1;
        }
        return writeExponent(d, p);
    }
    if (d >= 0) {
        storeChars(p, digits);
        if (nd <= d + 1)
            return p + d + 1;
        p[d + 1] = '.';
        storeChars(p + d + 2, digits >> (8 * (d + 1)));
        return p + nd + 1;
    }
    // 0.000ddd: "0." and -d - 1 zeros before the digits
    std::memcpy(p, "0.000000", 8);
    storeChars(p + 1 - d, digits);
    return p + 1 - d + nd;
}

} // namespace

#if defined(__x86_64__)
bool sixDigits8Available()
{
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
        && __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512vl");
    return yes;
}
#endif

unsigned sixDigits8(const TextValues& in, double* v, SixDigits8* out)
{
#if defined(__x86_64__)
    if (sixDigits8Available())
        return sixDigits8Avx512(in, v, out);
#endif
    (void)in;
    (void)v;
    (void)out;
    return 0;
}

char* formatDouble6(double v, char* out)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = int((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
    char* p = out;
    if (biased == 0x7ff) {
        if (fraction != 0) {
            std::memcpy(p, "nan", 3);
            return p + 3;
        }
        if (negative)
            *p++ = '-';
        std::memcpy(p, "inf", 3);
        return p + 3;
    }
    if (biased == 0 && fraction == 0) {
        *p = '0';
        return p + 1;
    }
    std::uint64_t q = 0;
    int d = 0;
    if (biased == 0)
        return slowDouble6(v, out);
    if (!sixDigitsQuick(std::fabs(v), biased - 1023, &q, &d)
        && !sixDigits(fraction | (std::uint64_t(1) << 52), biased - 1075, &q, &d))
        return slowDouble6(v, out);

    // The six digit characters in one register, first digit in the lowest
    // byte, so that the text is stored with fixed-size moves (building them
    // in memory and reading them back wide stalls the store forwarding).
    const auto q32 = std::uint32_t(q);
    const std::uint64_t digits = twoDigits(q32 / 10000) | (twoDigits(q32 / 100 % 100) << 16)
                                 | (twoDigits(q32 % 100) << 32);
    // Digits kept: up to the last one that is not '0' (the first never is).
    const int nd = (63 - __builtin_clzll(digits ^ 0x303030303030ull)) / 8 + 1;
    return layOut(digits, nd, d, negative, p);
}

namespace {

// Region coordinates beyond this are refused: they cannot come from a grid
// and would make the loop bounds overflow.
constexpr double kMaxRegionCoordinate = 1e15;
// More pixel lines than this (about 3 GB of text) is taken as a typing error.
constexpr std::int64_t kMaxDataLines = std::int64_t(1) << 27;

// x or z text plus its tab, in a slot copied with one fixed-size move.
constexpr int kSlot = 24;

char* appendHeaderLine(char* p, const char* key, double v)
{
    const std::size_t n = std::strlen(key);
    std::memcpy(p, key, n);
    p = formatDouble6(v, p + n);
    *p++ = '\n';
    return p;
}

QByteArray headerText(const DataRegion& g)
{
    char buf[512];
    char* p = buf;
    const char magic[] = "#FENU-CTImg\n";
    std::memcpy(p, magic, sizeof magic - 1);
    p += sizeof magic - 1;
    p = appendHeaderLine(p, "# Range_X0       : ", g.x0);
    p = appendHeaderLine(p, "# Range_Y0       : ", g.z0);
    p = appendHeaderLine(p, "# Range_X1       : ", g.x1 - 1);
    p = appendHeaderLine(p, "# Range_Y1       : ", g.z1 - 1);
    const char key[] = "# sx,sy, ex,ey   : ";
    std::memcpy(p, key, sizeof key - 1);
    p += sizeof key - 1;
    const double v[4] = {g.x0, g.z0, g.x1 - 1, g.z1 - 1};
    for (int i = 0; i < 4; ++i) {
        p = formatDouble6(v[i], p);
        *p++ = i < 3 ? '\t' : '\n';
    }
    return QByteArray(buf, p - buf);
}

bool regionUsable(const DataRegion& g)
{
    for (double c : {g.x0, g.z0, g.x1, g.z1})
        if (!(std::fabs(c) <= kMaxRegionCoordinate))
            return false;
    return true;
}

// Number of integers from trunc(a) that stay below b.
std::int64_t spanCount(double a, double b)
{
    const std::int64_t first = std::int64_t(std::trunc(a));
    const std::int64_t end = std::int64_t(std::ceil(b));
    return end > first ? end - first : 0;
}

int intTextLength(std::int64_t n)
{
    char tmp[24];
    return int(formatInt(n, tmp) - tmp);
}

} // namespace

namespace {

// Writes the file text into the memory room(bound) gives for the longest
// text the region can take; its length, or -1 (with one diagnostic line)
// where the region is refused or room gives nothing.
template <class Room>
std::int64_t writeDataText(const MatrixView& result, const DataRegion& g, const DataLimits& lim, Room room)
{
    if (!regionUsable(g)) {
        qDebug().noquote() << QStringLiteral("Data region not usable : %1 %2 %3 %4").arg(g.x0).arg(g.z0).arg(g.x1).arg(g.z1);
        return -1;
    }
    const std::int64_t xs = std::int64_t(std::trunc(g.x0));
    const std::int64_t zs = std::int64_t(std::trunc(g.z0));
    std::int64_t nx = spanCount(g.x0, g.x1);
    std::int64_t nz = spanCount(g.z0, g.z1);
    if (nx == 0 || nz == 0)
        nx = nz = 0;
    if (nx > 0 && nz > kMaxDataLines / nx) {
        qDebug().noquote() << QStringLiteral("Data region too large : %1 x %2 pixels").arg(nx).arg(nz);
        return -1;
    }

    const QByteArray header = headerText(g);
    const int xLen = nx > 0 ? std::max(intTextLength(xs), intTextLength(xs + nx - 1)) : 0;
    const int zLen = nz > 0 ? std::max(intTextLength(zs), intTextLength(zs + nz - 1)) : 0;
    const std::int64_t lineMax = xLen + 1 + zLen + 1 + kDouble6MaxChars + 1;
    char* const begin = room(std::size_t(header.size() + nx * nz * lineMax + 2 * kSlot));
    if (!begin) {
        qDebug().noquote() << QStringLiteral("No memory for the data text : %1 x %2 pixels").arg(nx).arg(nz);
        return -1;
    }
    std::memcpy(begin, header.constData(), std::size_t(header.size()));
    char* p = begin + header.size();

    // x texts of the region once; z text per row.
    std::vector<char> xText(std::size_t(nx) * kSlot);
    std::vector<unsigned char> xTextLen(static_cast<std::size_t>(nx));
    for (std::int64_t i = 0; i < nx; ++i) {
        char* s = xText.data() + i * kSlot;
        char* e = formatInt(xs + i, s);
        *e++ = '\t';
        xTextLen[std::size_t(i)] = static_cast<unsigned char>(e - s);
    }

    const double upper = lim.upper;
    const double lower = lim.lower;
    const double offset = lim.offset;
    // Runs of equal values are common (the zeros outside the reconstruction
    // circle), so the last value's text is kept.
    std::uint64_t lastBits = 0;
    char lastText[kDouble6Room] = {};
    int lastLen = -1;
#if defined(__x86_64__)
    const bool vectors = sixDigits8Available();
#else
    const bool vectors = false;
#endif

    for (std::int64_t iz = 0; iz < nz; ++iz) {
        const std::int64_t z = zs + iz;
        char zText[kSlot] = {};
        char* ze = formatInt(z, zText);
        *ze++ = '\t';
        const std::size_t zTextLen = std::size_t(ze - zText);
        const bool rowInside = result.data && z >= 0 && z < result.rows;
        const double* row = rowInside ? result.data + std::size_t(z) * std::size_t(result.cols) : nullptr;
        // Eight values at a time: their digits on vector registers where
        // the processor has them, the rest (zeros among them) one by one.
        for (std::int64_t ix0 = 0; ix0 < nx; ix0 += 8) {
            const int lanes = int(std::min<std::int64_t>(8, nx - ix0));
            const std::int64_t x0 = xs + ix0;
            double vals[8] = {};
            SixDigits8 six;
            unsigned settled = 0;
            if (vectors && row && x0 >= 0 && x0 + lanes <= result.cols) {
                // The result rows come from memory by now; ask for them early.
                __builtin_prefetch(row + std::min<std::int64_t>(x0 + 64, result.cols - 1));
                settled = sixDigits8({row + x0, lanes, true, upper, lower, offset}, vals, &six);
            } else {
                for (int l = 0; l < lanes; ++l) {
                    const std::int64_t x = x0 + l;
                    double v = (row && x >= 0 && x < result.cols) ? row[x] : 0.0;
                    if (v > upper || v < lower)
                        v = 0.0;
                    vals[l] = v + offset;
                }
                if (vectors)
                    settled = sixDigits8({vals, lanes, false, 0, 0, 0}, vals, &six);
            }
            for (int l = 0; l < lanes; ++l) {
                const std::int64_t ix = ix0 + l;
                std::memcpy(p, xText.data() + ix * kSlot, kSlot);
                p += xTextLen[std::size_t(ix)];
                std::memcpy(p, zText, kSlot);
                p += zTextLen;
                if ((settled >> l) & 1) {
                    p = layOut(six.digits[l], six.kept[l], six.exponent[l], std::signbit(vals[l]), p);
                } else {
                    std::uint64_t bits;
                    std::memcpy(&bits, &vals[l], sizeof bits);
                    if (lastLen < 0 || bits != lastBits) {
                        lastLen = int(formatDouble6(vals[l], lastText) - lastText);
                        lastBits = bits;
                    }
                    std::memcpy(p, lastText, sizeof lastText);
                    p += lastLen;
                }
                *p++ = '\n';
            }
        }
    }
    return p - begin;
}

} // namespace

QByteArray buildCtImgDataText(const MatrixView& result, const DataRegion& g, const DataLimits& lim)
{
    QByteArray text;
    const std::int64_t n = writeDataText(result, g, lim, [&text](std::size_t bound) {
        text.resize(qsizetype(bound));
        return text.data();
    });
    if (n < 0)
        return QByteArray();
    text.resize(qsizetype(n));
    text.squeeze();
    return text;
}

bool buildCtImgDataText(const MatrixView& result, const DataRegion& g, const DataLimits& lim, PageBytes* out)
{
    const std::int64_t n = writeDataText(result, g, lim, [out](std::size_t bound) { return out->reserve(bound); });
    out->setSize(n < 0 ? 0 : std::size_t(n));
    return n >= 0;
}

// ---------------------------------------------------------------------------
// Readers

namespace {

// Hands out the lines of a device without their line feed, reading in
// blocks; a line longer than a block grows the buffer, never beyond what
// the device really delivers.
class LineReader
{
public:
    explicit LineReader(QIODevice* d) : dev(d)
    {
        constexpr qint64 block = 1 << 20;
        const qint64 size = d->isSequential() ? block : std::min(block, d->size() - d->pos() + 1);
        buf.resize(qsizetype(std::max<qint64>(size, 64)));
    }

    bool next(const char** b, const char** e)
    {
        for (;;) {
            const char* base = buf.constData();
            const void* nl = std::memchr(base + pos, '\n', std::size_t(len - pos));
            if (nl) {
                *b = base + pos;
                *e = static_cast<const char*>(nl);
                pos = *e - base + 1;
                return true;
            }
            if (atEnd) {
                if (pos >= len)
                    return false;
                *b = base + pos;
                *e = base + len;
                pos = len;
                return true;
            }
            fill();
        }
    }

private:
    void fill()
    {
        if (pos > 0) {
            std::memmove(buf.data(), buf.constData() + pos, std::size_t(len - pos));
            len -= pos;
            pos = 0;
        }
        if (len == buf.size())
            buf.resize(buf.size() * 2);
        const qint64 n = dev->read(buf.data() + len, buf.size() - len);
        if (n <= 0)
            atEnd = true;
        else
            len += qsizetype(n);
    }

    QIODevice* dev;
    QByteArray buf;
    qsizetype pos = 0;
    qsizetype len = 0;
    bool atEnd = false;
};

struct Field {
    const char* b = nullptr;
    const char* e = nullptr;
    bool is(const char* s) const
    {
        const std::size_t n = std::strlen(s);
        return std::size_t(e - b) == n && std::memcmp(b, s, n) == 0;
    }
    bool startsWith(char c) const { return e > b && *b == c; }
};

// The fields of a line after white space is simplified (and commas are
// turned into blanks when asked): only the first four are kept, all are counted.
struct Fields {
    Field f[4];
    int count = 0;
};

// Length of a non-ASCII white-space character (as QChar::isSpace knows
// them) encoded in UTF-8 at p, else 0.
int unicodeSpaceLength(const char* p, const char* e)
{
    const auto c0 = static_cast<unsigned char>(p[0]);
    if (c0 == 0xC2 && e - p >= 2) {
        const auto c1 = static_cast<unsigned char>(p[1]);
        return (c1 == 0x85 || c1 == 0xA0) ? 2 : 0;
    }
    if ((c0 == 0xE1 || c0 == 0xE2 || c0 == 0xE3) && e - p >= 3) {
        const unsigned cp = ((c0 & 0x0Fu) << 12) | ((static_cast<unsigned char>(p[1]) & 0x3Fu) << 6)
                            | (static_cast<unsigned char>(p[2]) & 0x3Fu);
        const bool space = cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029
                           || cp == 0x202F || cp == 0x205F || cp == 0x3000;
        const bool wellFormed = (static_cast<unsigned char>(p[1]) & 0xC0u) == 0x80u
                                && (static_cast<unsigned char>(p[2]) & 0xC0u) == 0x80u;
        return space && wellFormed ? 3 : 0;
    }
    return 0;
}

// Length of the separator at p, 0 when p starts a field character.
int separatorLength(const char* p, const char* e, bool commas)
{
    const char c = *p;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n' || (commas && c == ','))
        return 1;
    if (static_cast<unsigned char>(c) >= 0x80)
        return unicodeSpaceLength(p, e);
    return 0;
}

Fields splitLine(const char* p, const char* e, bool commas)
{
    Fields out;
    while (p < e) {
        if (int s = separatorLength(p, e, commas)) {
            p += s;
            continue;
        }
        const char* start = p;
        while (p < e && separatorLength(p, e, commas) == 0)
            ++p;
        if (out.count < 4)
            out.f[out.count] = Field{start, p};
        ++out.count;
    }
    return out;
}

// A decimal 32-bit integer as QString::toInt reads it; anything else is 0.
int fieldInt(const Field& f)
{
    const char* p = f.b;
    bool neg = false;
    if (p < f.e && (*p == '+' || *p == '-'))
        neg = *p++ == '-';
    if (p == f.e)
        return 0;
    std::int64_t v = 0;
    for (; p < f.e; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        v = v * 10 + (*p - '0');
        if (v > std::int64_t(std::numeric_limits<int>::max()) + 1)
            return 0;
    }
    v = neg ? -v : v;
    if (v > std::numeric_limits<int>::max())
        return 0;
    return int(v);
}

// A double as QString::toDouble reads it (non-numbers 0). Plain numbers
// take the fast road; anything unusual is left to Qt itself.
double fieldDouble(const Field& f)
{
    const char* p = f.b;
    if (p < f.e && *p == '+' && f.e - p > 1 && ((p[1] >= '0' && p[1] <= '9') || p[1] == '.'))
        ++p;
    double v = 0.0;
    const auto r = std::from_chars(p, f.e, v, std::chars_format::general);
    if (r.ec == std::errc() && r.ptr == f.e && std::isfinite(v) && (v == 0.0 || std::fabs(v) >= DBL_MIN))
        return v;
    // Qt gives 0 for a non-number and infinity for an overflowing number.
    return QString::fromUtf8(f.b, f.e - f.b).toDouble();
}

// Largest matrix (in values) a file may ask for: what its size could fill,
// with a floor for sparse files and a hard cap.
std::int64_t elementBudget(QIODevice* dev)
{
    constexpr std::int64_t floorCount = std::int64_t(1) << 22; // a 2048 x 2048 slice
    constexpr std::int64_t capCount = std::int64_t(1) << 30;
    const std::int64_t size = dev->isSequential() ? 0 : std::int64_t(dev->size());
    return std::min(std::max(size, floorCount), capCount);
}

// Allocates ny x nx zeros unless the size is more than the budget.
bool allocateMatrix(DataMatrix* m, std::int64_t nx, std::int64_t ny, std::int64_t budget, const QString& name)
{
    if (nx > budget || ny > budget || nx * ny > budget) {
        qDebug().noquote() << QStringLiteral("Matrix size %1 x %2 refused in data file : %3").arg(nx).arg(ny).arg(name);
        return false;
    }
    m->nx = int(nx);
    m->ny = int(ny);
    m->values.assign(std::size_t(nx * ny), 0.0);
    return true;
}

void storeValue(DataMatrix* m, std::int64_t x, std::int64_t y, double v)
{
    if (x < 0 || y < 0 || x >= m->nx || y >= m->ny)
        return;
    m->values[std::size_t(y) * std::size_t(m->nx) + std::size_t(x)] = v;
    if (v < m->min)
        m->min = v;
    if (v > m->max)
        m->max = v;
}

bool firstLineStartsWith(LineReader& lines, const char* magic)
{
    const char* b;
    const char* e;
    if (!lines.next(&b, &e))
        return false;
    if (e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0)
        b += 3; // a byte-order mark is not part of the text
    const std::size_t n = std::strlen(magic);
    return std::size_t(e - b) >= n && std::memcmp(b, magic, n) == 0;
}

QString deviceName(QIODevice* dev, const QString& name)
{
    if (!name.isEmpty())
        return name;
    if (auto* f = qobject_cast<QFile*>(dev))
        return f->fileName();
    return QStringLiteral("(memory)");
}

} // namespace

bool readCtImgData(QIODevice* dev, DataMatrix* m, const QString& name)
{
    *m = DataMatrix();
    if (!dev || !dev->isReadable())
        return false;
    LineReader lines(dev);
    if (!firstLineStartsWith(lines, "#FENU-CTImg"))
        return false;

    const std::int64_t budget = elementBudget(dev);
    std::int64_t rx0 = 0, ry0 = 0, rx1 = 0, ry1 = 0;
    std::int64_t originX = 0, originY = 0;
    bool allocated = false;
    const char* b;
    const char* e;
    while (lines.next(&b, &e)) {
        const Fields f = splitLine(b, e, false);
        if (f.count >= 4 && f.f[0].is("#")) {
            if (f.f[1].is("Range_X0"))
                rx0 = fieldInt(f.f[3]);
            else if (f.f[1].is("Range_Y0"))
                ry0 = fieldInt(f.f[3]);
            else if (f.f[1].is("Range_X1"))
                rx1 = fieldInt(f.f[3]);
            else if (f.f[1].is("Range_Y1"))
                ry1 = fieldInt(f.f[3]);
            continue;
        }
        if (!allocated) {
            const std::int64_t nx = rx1 - rx0 + 1;
            const std::int64_t ny = ry1 - ry0 + 1;
            if (!(rx1 > 0 && ry1 > 0 && nx > 0 && ny > 0))
                continue;
            if (!allocateMatrix(m, nx, ny, budget, deviceName(dev, name))) {
                *m = DataMatrix();
                return false;
            }
            // Pixels are kept relative to the region start, so a region
            // away from the origin comes back whole.
            originX = rx0;
            originY = ry0;
            allocated = true;
        }
        if (f.count < 3)
            continue;
        storeValue(m, fieldInt(f.f[0]) - originX, fieldInt(f.f[1]) - originY, fieldDouble(f.f[2]));
    }
    if (!(allocated && m->nx >= 1 && m->ny >= 1)) {
        *m = DataMatrix();
        return false;
    }
    return true;
}

bool readMatrixData(QIODevice* dev, DataMatrix* m, const QString& name)
{
    *m = DataMatrix();
    if (!dev || !dev->isReadable())
        return false;
    LineReader lines(dev);
    if (!firstLineStartsWith(lines, "## 240301"))
        return false;

    const std::int64_t budget = elementBudget(dev);
    std::int64_t nx = 0, ny = 0;
    std::int64_t firstX = 0, firstY = 0;
    bool allocated = false;
    const char* b;
    const char* e;
    while (lines.next(&b, &e)) {
        const Fields f = splitLine(b, e, true);
        if (f.count == 0)
            continue;
        if (f.f[0].startsWith('#')) {
            if (f.count == 3 && f.f[1].is("X-NUM"))
                nx = std::int64_t(fieldInt(f.f[2])) - 1;
            else if (f.count == 3 && f.f[1].is("Y-NUM"))
                ny = std::int64_t(fieldInt(f.f[2])) - 1;
            continue;
        }
        if (f.count < 3)
            continue;
        const std::int64_t x = fieldInt(f.f[0]);
        const std::int64_t y = fieldInt(f.f[1]);
        if (!allocated) {
            if (!(nx > 0 && ny > 0))
                continue;
            if (!allocateMatrix(m, nx, ny, budget, deviceName(dev, name))) {
                *m = DataMatrix();
                return false;
            }
            firstX = x;
            firstY = y;
            allocated = true;
        }
        storeValue(m, x - firstX, y - firstY, fieldDouble(f.f[2]));
    }
    if (!(allocated && m->nx >= 1 && m->ny >= 1)) {
        *m = DataMatrix();
        return false;
    }
    return true;
}

namespace {
bool readFile(const QString& path, DataMatrix* m, bool (*reader)(QIODevice*, DataMatrix*, const QString&))
{
    *m = DataMatrix();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << QStringLiteral("Can't open data file : %1").arg(path);
        return false;
    }
    return reader(&file, m, path);
}
} // namespace

bool readCtImgDataFile(const QString& path, DataMatrix* m)
{
    return readFile(path, m, &readCtImgData);
}

bool readMatrixDataFile(const QString& path, DataMatrix* m)
{
    return readFile(path, m, &readMatrixData);
}
