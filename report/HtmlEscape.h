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
// - controls (C0, DEL and C1) and the bidirectional formatting characters (embeddings, overrides, isolates,
//   marks) become their code point in brackets, "[U+0000]", "[U+202E]": shown, never obeyed, so nothing
//   invisible hides in a cell and a name cannot reorder the text around it. Spelled out rather than drawn as
//   Control Pictures, which many fonts lack.

// For text content and double- or single-quoted attribute values.
void AppendHtmlText(std::string& out, std::string_view bytes);
std::string HtmlText(std::string_view bytes);

// A JSON string, quotes included, that may stand inside <script type="application/json">: "<", ">" and "&"
// are \u escapes, so no "</script" or "<!--" can appear in the block, and U+2028/U+2029 are escaped too.
void AppendScriptJsonString(std::string& out, std::string_view bytes);

}  // namespace morvex
