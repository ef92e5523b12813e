#pragma once
// BasicTextParser: splits a text buffer into tokens for the engine's small text formats (mesh
// trailers, interface skins).
//
// ReadToken skips blanks and // comments, then returns one of: a double-quoted string (with or
// without its quotes, as the parser was made), one punctuation character ({ } ( ) [ ] = , ;), or a
// run of other characters. At the end of the text it returns an empty token. Nothing here reads
// past the buffer: an unterminated quote or delimited token ends at the end of the text.
//
// Only the char form is built; the template leaves the character type open for wide text.

#include <cstdint>
#include <string>

namespace GAME {

template <typename Char>
class BasicTextParser {
public:
    using String = std::basic_string<Char>;

    // A parser over length characters of caller memory, which must outlive it.
    BasicTextParser(const Char* text, uint32_t length, bool stripQuotes = true);

    // The next token; empty at the end of the text.
    String ReadToken();
    // The text from an opening character to the next closing character, after blanks and
    // comments. With open 0 the first character is the opening one; otherwise everything up to
    // the first open is passed over. The delimiters are kept unless strip is set.
    String ReadDelimitedToken(Char open, Char close, bool strip);

    uint32_t GetPosition() const { return position_; }
    void SetPosition(uint32_t position) { position_ = position < length_ ? position : length_; }
    uint32_t GetLength() const { return length_; }
    // True when only blanks and comments remain.
    bool IsAtEnd();

private:
    void SkipBlanksAndComments();
    bool IsCommentStart(uint32_t at) const;
    static bool IsBlank(Char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
    static bool IsPunctuation(Char c);

    const Char* text_;
    uint32_t length_;
    uint32_t position_ = 0;
    bool stripQuotes_;
};

extern template class BasicTextParser<char>;

}  // namespace GAME
