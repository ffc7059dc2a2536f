#pragma once
// The four ways a file list shows its rows (large icons, small icons, a
// column-wise list, the report with its columns), shared by the remote and
// the local file lists. Both keep a report view and an icon view over one
// model and one selection and show the one the style asks for.

class QListView;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

// Sets up the icon view of a file list for style. In the report style the
// list shows its report view instead; the icon view is then left in plain
// list mode.
void ApplyIconViewStyle(QListView *icons, TViewStyle style);
