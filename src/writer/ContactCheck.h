#pragma once
// Asking an opened writer for its firmware version tells whether it answers
// and in which mode it runs.

#include <string_view>

#include "writer/KestoProtocol.h"

enum class ContactKind { Unknown, Jtag, Isp, Ok };

// The first 20 characters of the version text in the two download modes.
constexpr std::string_view kJtagDownText = "VREN Kesto JTAG Down";
constexpr std::string_view kIspDownText = " VREN Kesto ISP Down";

// Classifies a version reply; only the first 20 characters of the text from
// offset 4 count, and the JTAG text is tested first.
ContactKind classifyFirmwareVersion(const FirmwareVersionReply& reply);

// Kesto_GetFirmwareVersion on writer `dev`, classified. A writer that does not
// answer, or answers with the error marker, is Unknown.
ContactKind CheckContact(KestoProtocol& protocol, int dev);
// The same, keeping the reply (empty when the writer did not answer).
ContactKind CheckContact(KestoProtocol& protocol, int dev, FirmwareVersionReply& reply);

// The status text the writer list shows for a contact kind. After a removal
// the unknown text is written without its blanks, as it always was.
const char* contactStatusTextFor(ContactKind kind, bool afterRemoval);
