#pragma once

// Marks a fixed text of the core that a person reads (a label, a progress or closing text) as
// a translatable source text. The core itself never translates and stays free of Qt: the text
// is kept as written, and the window and the CLI look it up in their translation tables under
// the context given here. The marker is spelled as Qt's own, with Qt's very definition, so
// Qt's lupdate collects these texts with all the others and a translation unit may include
// Qt's headers as well.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
// A text with a count ("%n"), whose plural forms a table words one by one.
#ifndef QT_TRANSLATE_N_NOOP
#define QT_TRANSLATE_N_NOOP(scope, x) x
#endif
