#include "engine/LogFiles.h"

#include "core/System.h"
#include "core/Time.h"

namespace GAME {

namespace {

constexpr const char* kHtmlHeader =
    "<!DOCTYPE html>\n"
    "<html>\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<title>Engine Log</title>\n"
    "<style>\n"
    "body { font-family: monospace; }\n"
    "td { padding: 0 0.5em; vertical-align: top; }\n"
    ".error { color: #c00000; }\n"
    ".warning { color: #b06000; }\n"
    "</style>\n"
    "</head>\n"
    "<body>\n"
    "<table>\n"
    "<tr><th>Time</th><th>Priority</th><th>Category</th><th>Message</th></tr>\n";
constexpr const char* kHtmlFooter = "</table>\n</body>\n</html>\n";
constexpr const char* kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<log>\n";
constexpr const char* kXmlFooter = "</log>\n";

const char* GetPriorityName(LogPriority priority) {
    switch (priority) {
        case LogPriority::Error:
            return "error";
        case LogPriority::Warning:
            return "warning";
        case LogPriority::Info:
            break;
    }
    return "info";
}

// The text with the markup characters as entities, fit for element content and attribute values
// of both files.
std::string Escape(const char* text) {
    std::string escaped;
    for (const char* c = text; *c; ++c) {
        switch (*c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                const bool control = static_cast<unsigned char>(*c) < 0x20 && *c != '\t' && *c != '\n' && *c != '\r';
                escaped += control ? '?' : *c;
        }
    }
    return escaped;
}

}  // namespace

bool LogFiles::Open(const std::string& directory) {
    Close();
    const std::string base = directory.empty() ? std::string(".") : directory;
    bool opened = CreateDirectoryPath(base.c_str());
    FilePtr html(opened ? std::fopen((base + "/" + kHtmlFileName).c_str(), "wb") : nullptr);
    FilePtr xml(opened ? std::fopen((base + "/" + kXmlFileName).c_str(), "wb") : nullptr);
    opened = html && xml && std::fputs(kHtmlHeader, html.get()) >= 0 && std::fputs(kXmlHeader, xml.get()) >= 0;
    if (!opened) {
        Log(LogPriority::Error, "The log files could not be created in %s", base.c_str());
        return false;
    }
    std::lock_guard<std::mutex> lock(lock_);
    html_ = std::move(html);
    xml_ = std::move(xml);
    openedAt_ = GetPerformanceCounter();
    failed_ = false;
    return true;
}

void LogFiles::Write(LogPriority priority, const std::string& category, const char* text) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!html_) return;
    const double seconds = ElapsedMilliseconds(openedAt_, GetPerformanceCounter()) / 1000.0;
    const char* priorityName = GetPriorityName(priority);
    const std::string escapedCategory = Escape(category.c_str());
    const std::string escapedText = Escape(text);
    const int htmlWritten = std::fprintf(html_.get(), "<tr class=\"%s\"><td>%.3f</td><td>%s</td><td>%s</td><td>%s</td></tr>\n",
                                         priorityName, seconds, priorityName, escapedCategory.c_str(),
                                         escapedText.c_str());
    const int xmlWritten = std::fprintf(xml_.get(), "<entry time=\"%.3f\" priority=\"%s\" category=\"%s\">%s</entry>\n",
                                        seconds, priorityName, escapedCategory.c_str(), escapedText.c_str());
    if (htmlWritten < 0 || xmlWritten < 0) failed_ = true;
}

bool LogFiles::Close() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!html_) return true;
    bool written = !failed_;
    written = std::fputs(kHtmlFooter, html_.get()) >= 0 && written;
    written = std::fputs(kXmlFooter, xml_.get()) >= 0 && written;
    written = std::fclose(html_.release()) == 0 && written;
    written = std::fclose(xml_.release()) == 0 && written;
    return written;
}

bool LogFiles::IsOpen() const {
    std::lock_guard<std::mutex> lock(lock_);
    return html_ != nullptr;
}

}  // namespace GAME
