#pragma once
// What the language-pack page makes of the router: the upload URL, the
// language file for the chosen language, and the router's answer to a post.

#include <cstdint>
#include <string>

// "http://%d.%d.%d.%d/upload_lang.cgi" with the four bytes of a network-order
// address in order.
std::string LanguageUploadUrl(uint32_t deviceAddressNetworkOrder);

// ".\Firmware\ZEPHYRA_EN.lang" and its FR and DE siblings for 1, 2 and 3;
// any other value keeps the path given.
std::string LanguageFilePath(int selectedLanguage, const std::string& current);

// The message for a refused pack (the first marker found, in the router's
// order of importance), or null when the router accepted it.
const char* LanguagePackRefusal(const std::string& response);

extern const char kUploadFailedMessage[];
