#include "files/BasicTextParser.h"

namespace GAME {

template <typename Char>
BasicTextParser<Char>::BasicTextParser(const Char* text, uint32_t length, bool stripQuotes)
    : text_(text), length_(text ? length : 0), stripQuotes_(stripQuotes) {}

template <typename Char>
bool BasicTextParser<Char>::IsPunctuation(Char c) {
    switch (c) {
        case '{': case '}': case '(': case ')': case '[': case ']': case '=': case ',': case ';':
            return true;
        default:
            return false;
    }
}

template <typename Char>
bool BasicTextParser<Char>::IsCommentStart(uint32_t at) const {
    return at + 1 < length_ && text_[at] == '/' && text_[at + 1] == '/';
}

template <typename Char>
void BasicTextParser<Char>::SkipBlanksAndComments() {
    while (position_ < length_) {
        if (IsBlank(text_[position_])) {
            ++position_;
        } else if (IsCommentStart(position_)) {
            while (position_ < length_ && text_[position_] != '\n') ++position_;
        } else {
            break;
        }
    }
}

template <typename Char>
bool BasicTextParser<Char>::IsAtEnd() {
    SkipBlanksAndComments();
    return position_ >= length_;
}

template <typename Char>
typename BasicTextParser<Char>::String BasicTextParser<Char>::ReadToken() {
    SkipBlanksAndComments();
    if (position_ >= length_) return String();

    const uint32_t start = position_;
    const Char first = text_[position_++];
    if (first == '"') {
        while (position_ < length_ && text_[position_] != '"') ++position_;
        const uint32_t end = position_;
        if (position_ < length_) ++position_;  // the closing quote
        if (stripQuotes_) return String(text_ + start + 1, end - start - 1);
        return String(text_ + start, position_ - start);
    }
    if (IsPunctuation(first)) return String(1, first);

    while (position_ < length_) {
        const Char c = text_[position_];
        if (IsBlank(c) || IsPunctuation(c) || c == '"' || IsCommentStart(position_)) break;
        ++position_;
    }
    return String(text_ + start, position_ - start);
}

template <typename Char>
typename BasicTextParser<Char>::String BasicTextParser<Char>::ReadDelimitedToken(Char open, Char close, bool strip) {
    SkipBlanksAndComments();
    if (open != 0) {
        while (position_ < length_ && text_[position_] != open) ++position_;
    }
    if (position_ >= length_) return String();

    const uint32_t start = position_++;  // the opening character
    while (position_ < length_ && text_[position_] != close) ++position_;
    const uint32_t end = position_;
    if (position_ < length_) ++position_;  // the closing character
    if (strip) return String(text_ + start + 1, end - start - 1);
    return String(text_ + start, position_ - start);
}

template class BasicTextParser<char>;

}  // namespace GAME
