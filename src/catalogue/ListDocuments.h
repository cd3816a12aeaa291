#pragma once

#include "XmlDocument.h"

#include <QString>

#include <memory>

// Channel lists as parsed documents, shared while anyone holds them: a list that is open already
// (the tree shows it) is not read and parsed again by another reader (the search), unless its
// file changed since. Safe on any thread. Raises ZError as ReadListFile and XmlDocument do.
std::shared_ptr<const XmlDocument> OpenListDocument(const QString &path);

// The same on a worker thread, running the GUI thread's events meanwhile (a long list takes a
// while to decipher and parse; the window stays live as it does while the tree fills).
std::shared_ptr<const XmlDocument> OpenListDocumentRunningEvents(const QString &path);
