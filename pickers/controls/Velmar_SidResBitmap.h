// The account and source images of the pickers, loaded from the program's
// resources on first request and kept for the life of the process.
#pragma once

#include <QImage>
#include <QPainter>

#include "pickers/Velmar_SidRes.h"

// The image an account shows: the well-known value's, else the kind's, else
// the nearest kind's (a domain's, a group's or a user's); never none once the
// images are there. The picture's bottom-left colour is transparent.
const QImage* GetSidBitmap(TvmWellKnownSid wellKnown, TvmSidType sidType);

// An image of the pickers by resource name ("SID_SOURCE_DOMAIN"), or none
// for a name the resources do not hold.
const QImage* PickerBitmap(const char* name);

// Draws a bitmap centred in a cell (halves rounded toward zero), its
// transparent colour left unpainted; the painter's brush is kept.
void DrawCentredBitmap(QPainter* painter, const QRect& cell, const QImage& bitmap);
