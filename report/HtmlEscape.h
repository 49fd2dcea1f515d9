// Escaping of a site's untrusted bytes for an HTML page: its text, its attributes, and JSON in its script blocks.
#pragma once

#include <string>
#include <string_view>

namespace morvex {

// Every form below shows the same characters for the same bytes, so that what a script renders from the JSON
// reads exactly as what the page renders in its markup:
// - ill-formed UTF-8 becomes U+FFFD, one per maximal bad subpart, as the window and the JSON report show it;
//   the page must be valid UTF-8 whatever the site holds, and a byte value shown as \xNN would need every
//   backslash of the site's own texts doubled to stay unambiguous;
// - C0 controls and DEL become their Control Pictures (NUL as U+2400, TAB as U+2409), so nothing invisible
//   and no line break hides in a cell;
// - C1 controls and the bidirectional formatting characters (embeddings, overrides, isolates, marks) become
//   "[U+202E]": shown, never obeyed, so a name cannot reorder the text around it.

// For text content and double- or single-quoted attribute values.
void AppendHtmlText(std::string& out, std::string_view bytes);
std::string HtmlText(std::string_view bytes);

// A JSON string, quotes included, that may stand inside <script type="application/json">: "<", ">" and "&"
// are \u escapes, so no "</script" or "<!--" can appear in the block, and U+2028/U+2029 are escaped too.
void AppendScriptJsonString(std::string& out, std::string_view bytes);

}  // namespace morvex
