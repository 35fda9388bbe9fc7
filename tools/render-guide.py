#!/usr/bin/python3
"""Renders the operators' guide from Markdown into one HTML page that needs
nothing beside it: render-guide.py GUIDE.md PAGE.html. Run by the build, with
Debian's python3-markdown."""
import html
import sys

import markdown

PAGE = """<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title}</title>
<style>
body {{ max-width: 52em; margin: 2em auto; padding: 0 1em; line-height: 1.6;
       font-family: "Microsoft YaHei", "微软雅黑", SimSun, "Noto Sans CJK SC", sans-serif; }}
table {{ border-collapse: collapse; margin: 1em 0; }}
th, td {{ border: 1px solid #999; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }}
th {{ background: #e0e0e0; }}
code, pre {{ font-family: Consolas, "DejaVu Sans Mono", monospace; background: #f2f2f2; }}
pre {{ padding: 0.5em 1em; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""


def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    title = text.splitlines()[0].lstrip("#").strip()
    body = markdown.markdown(text, extensions=["tables", "toc"], output_format="html5")
    with open(target, "w", encoding="utf-8", newline="\n") as f:
        f.write(PAGE.format(title=html.escape(title), body=body))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: render-guide.py GUIDE.md PAGE.html")
    main(sys.argv[1], sys.argv[2])
