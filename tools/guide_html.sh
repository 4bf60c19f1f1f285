#!/usr/bin/env bash
# The user guide as one self-contained HTML page, as the release package
# carries it beside each DLL: the Markdown converted by cmark-gfm (tables
# included), each heading given the anchor its links use, the style inline,
# and each picture the guide shows as an image of its own line,
# "![text](schemes/fire.svg)", inlined from the SVG file beside the guide
# (the same files a reader of the repository sees; tools/scheme_pictures.sh
# draws them), so that the page fetches nothing.
#
#   guide_html.sh GUIDE.md >PAGE.html
set -euo pipefail
guide=$1
folder=$(dirname "$guide")
title=$(sed -n '1s/^# //p' "$guide")
picture_line='^!\[[^]]*\]\(([a-z0-9/-]+\.svg)\)$'
for picture in $(sed -nE "s/$picture_line/\\1/p" "$guide"); do
  if [ ! -f "$folder/$picture" ]; then
    echo "guide_html.sh: the guide shows $picture, not found beside it in $folder" >&2
    exit 1
  fi
done

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
/* Long lines wrap: nothing scrolls sideways. */
pre { padding: .8em 1em; white-space: pre-wrap; overflow-wrap: anywhere; }
pre code { padding: 0; background: none; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #ccc; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #f3f3f3; }
td:first-child code { white-space: nowrap; }
a { color: #0b5cad; }
figure.picture { margin: .5em 0 1.5em; }
figure.picture svg { display: block; width: 100%; height: auto; border-radius: 4px; }
</style>
</head>
<body>
HEAD
# A picture's paragraph becomes the picture itself, named for screen
# readers by the image's text. Anchors as the guide's own links write them:
# lower case, punctuation dropped, blanks as hyphens.
cmark-gfm --extension table --to html "$guide" | FOLDER=$folder perl -pe '
  s{^<p><img src="([a-z0-9/-]+\.svg)" alt="([^"]*)" /></p>$}{
    my ($file, $text) = ($1, $2);
    open(my $in, "<", "$ENV{FOLDER}/$file") or die "$file: $!";
    local $/; my $svg = <$in>; close $in;
    $svg =~ s/^<\?xml[^>]*>\s*//;
    $svg =~ s/\s+$//;
    qq{<figure class="picture" role="img" aria-label="$text">$svg</figure>}
  }e;
  s{<h([1-6])>(.*?)</h\1>}{
    my ($level, $text) = ($1, $2);
    (my $id = lc $text) =~ s/<[^>]*>|&[a-z]+;|&#[0-9]+;//g;
    $id =~ s/[^a-z0-9 _-]//g;
    $id =~ s/ /-/g;
    qq{<h$level id="$id">$text</h$level>}
  }ge'
printf '</body>\n</html>\n'
