#pragma once

#include <QRegExp>

// One column test of MultiSortFilterProxyModel's filter list.
struct FilterCondition
{
    enum Combine { And = 0, Or = 1 };
    // 0: the text is made of matches of the pattern only; 1: it is not; 2 to 5: the text is less
    // than, at most, greater than, at least the pattern text. Another value always holds.
    enum Operation { Matches = 0, NotMatches = 1, Less = 2, LessOrEqual = 3, Greater = 4, GreaterOrEqual = 5 };

    // How the result joins the result so far (the first condition always joins by And); another
    // value leaves it out.
    int combine = And;
    int column = 0;
    int operation = Matches;
    QRegExp pattern;
};
