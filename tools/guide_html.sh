#!/usr/bin/env bash
# The user guide as one self-contained HTML page, as the release package
# carries it beside each DLL: the Markdown converted by cmark-gfm (tables
# included), each heading given the anchor its links use, and the style
# inline, so that the page fetches nothing.
#
#   guide_html.sh GUIDE.md >PAGE.html
set -euo pipefail
guide=$1
title=$(sed -n '1s/^# //p' "$guide")

cat <<HEAD
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>$title</title>
<style>
body { font: 16px/1.5 "Segoe UI", system-ui, sans-serif; color: #1b1b1b; background: #fff;
       max-width: 52em; margin: 2em auto; padding: 0 1em; }
h1, h2, h3 { line-height: 1.25; }
h2 { border-bottom: 1px solid #ddd; padding-bottom: .2em; margin-top: 2em; }
code, pre { font-family: Consolas, "Cascadia Mono", monospace; font-size: .9em;
            background: #f3f3f3; border-radius: 3px; }
code { padding: .1em .3em; }
pre { padding: .8em 1em; overflow-x: auto; }
pre code { padding: 0; background: none; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #ccc; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #f3f3f3; }
td:first-child code { white-space: nowrap; }
a { color: #0b5cad; }
</style>
</head>
<body>
HEAD
# Anchors as the guide's own links write them: lower case, punctuation
# dropped, blanks as hyphens.
cmark-gfm --extension table --to html "$guide" | perl -pe '
  s{<h([1-6])>(.*?)</h\1>}{
    my ($level, $text) = ($1, $2);
    (my $id = lc $text) =~ s/<[^>]*>|&[a-z]+;|&#[0-9]+;//g;
    $id =~ s/[^a-z0-9 _-]//g;
    $id =~ s/ /-/g;
    qq{<h$level id="$id">$text</h$level>}
  }ge'
printf '</body>\n</html>\n'
