#pragma once

class QLayout;

namespace Layouts {
// Empties `layout`: nested layouts are emptied too, and every widget it held is hidden and
// deleted once control returns to the event loop, so clearing is safe even from a signal one of
// those widgets sent. Main thread only.
void clear(QLayout *layout);
} // namespace Layouts
