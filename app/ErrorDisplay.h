#pragma once
// How the window shows the outcome of its handlers: the error box for every exception that
// leaves an event handler, and the information box for a successful run.

#include <QString>

#include <exception>

// The application title: the executable's file name without its folder, cut before its first
// ".", every character after the first lower-cased ("/opt/PATCH.TOOL.EXE" gives "Patch").
QString ApplicationTitleOf(const QString& executablePath);
// The title of the running executable.
QString ApplicationTitle();

// The text the error box shows for message: a "." is appended when the message is not empty
// and its last character's code is above that of ".".
QString ErrorBoxText(const QString& message);

// The message of an exception: Message() for the layer's Exception family, what() for other
// std::exception; the innermost non-empty message wins along a std::nested_exception chain.
QString ExceptionMessage(const std::exception_ptr& error);

// Shows error in the modal error box over the active window, after cancelling any mouse
// capture. A silent abort (EAbort) shows nothing. Never throws.
void ShowException(const std::exception_ptr& error);

// The modal error box: caption the application title, stop icon, text as ErrorBoxText gives
// it, one "OK" button.
void ShowErrorBox(const QString& message);

// The modal information box: caption "Information", information icon, text, one "OK" button
// that is also the default button.
void ShowInformation(const QString& text);
