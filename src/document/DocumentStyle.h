#pragma once
class QWidget;

// The few touches of style the document's window and sheets share.
namespace DocumentStyle {

// A title: bold, `scale` times the widget's font size.
void setHeading(QWidget* widget, double scale);
// Text that explains or names rather than holds data: the muted colour.
void setSecondary(QWidget* widget);

} // namespace DocumentStyle
