#pragma once

// Searches over UTF-16 text for the packer's passes, eight characters at a time where the
// processor has SSE2 (every x86-64 one): most of a page is text no pass looks at, and a pass
// only needs the next character that may matter.

#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__SSE2__)
inline __m128i WpoLoad8(const char16_t* AText) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(AText));
}

// The position of the first set lane of a 16-bit comparison result.
inline qsizetype WpoFirstLane(int AMask) {
    return __builtin_ctz(static_cast<unsigned>(AMask)) >> 1;
}
#endif

// The first position at or after AFrom holding A, or ASize.
inline qsizetype WpoFind(const char16_t* AText, qsizetype AFrom, qsizetype ASize, char16_t A) {
    qsizetype i = AFrom;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi16(static_cast<short>(A));
    for (; i + 8 <= ASize; i += 8) {
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(WpoLoad8(AText + i), a));
        if (mask != 0)
            return i + WpoFirstLane(mask);
    }
#endif
    for (; i < ASize; ++i)
        if (AText[i] == A)
            return i;
    return ASize;
}

// The first position at or after AFrom holding A or B, or ASize.
inline qsizetype WpoFindEither(const char16_t* AText, qsizetype AFrom, qsizetype ASize, char16_t A,
                               char16_t B) {
    qsizetype i = AFrom;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi16(static_cast<short>(A));
    const __m128i b = _mm_set1_epi16(static_cast<short>(B));
    for (; i + 8 <= ASize; i += 8) {
        const __m128i x = WpoLoad8(AText + i);
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(x, a), _mm_cmpeq_epi16(x, b)));
        if (mask != 0)
            return i + WpoFirstLane(mask);
    }
#endif
    for (; i < ASize; ++i)
        if (AText[i] == A || AText[i] == B)
            return i;
    return ASize;
}

// The first position at or after AFrom where a space is followed by another space, or where A
// stands; or ASize.
inline qsizetype WpoFindDoubleSpaceOr(const char16_t* AText, qsizetype AFrom, qsizetype ASize,
                                      char16_t A) {
    qsizetype i = AFrom;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi16(static_cast<short>(A));
    const __m128i space = _mm_set1_epi16(u' ');
    // Nine characters are looked at for eight positions: each one's follower too.
    for (; i + 9 <= ASize; i += 8) {
        const __m128i x = WpoLoad8(AText + i);
        const __m128i next = WpoLoad8(AText + i + 1);
        const __m128i doubled =
            _mm_and_si128(_mm_cmpeq_epi16(x, space), _mm_cmpeq_epi16(next, space));
        const int mask = _mm_movemask_epi8(_mm_or_si128(doubled, _mm_cmpeq_epi16(x, a)));
        if (mask != 0)
            return i + WpoFirstLane(mask);
    }
#endif
    for (; i < ASize; ++i)
        if (AText[i] == A || (AText[i] == u' ' && i + 1 < ASize && AText[i + 1] == u' '))
            return i;
    return ASize;
}

// Turns every control character (below U+0020) from AFrom up to the next A into a space and
// returns the position of that A, or ASize.
inline qsizetype WpoControlsToSpacesUntil(char16_t* AText, qsizetype AFrom, qsizetype ASize,
                                          char16_t A) {
    qsizetype i = AFrom;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi16(static_cast<short>(A));
    const __m128i lastControl = _mm_set1_epi16(0x1F);
    const __m128i space = _mm_set1_epi16(u' ');
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= ASize; i += 8) {
        const __m128i x = WpoLoad8(AText + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(x, a)) != 0)
            break;  // the characters before A are done one by one below
        const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(x, lastControl), zero);
        if (_mm_movemask_epi8(control) != 0)
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(AText + i),
                _mm_or_si128(_mm_andnot_si128(control, x), _mm_and_si128(control, space)));
    }
#endif
    for (; i < ASize; ++i) {
        if (AText[i] == A)
            return i;
        if (AText[i] < 0x20)
            AText[i] = u' ';
    }
    return ASize;
}
