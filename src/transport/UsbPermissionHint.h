#pragma once
// The log line shown when a writer could not be opened for lack of permission.

class MessageLog;

void logUsbPermissionHint(MessageLog& log, const char* what);
