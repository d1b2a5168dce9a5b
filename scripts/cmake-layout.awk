# The layout of the CMake files, checked by scripts/check-format (clang-format
# knows only C++ and mangles them): reports a comment without a blank after
# "#", a tab, trailing blanks, a command not indented by four blanks per open
# block (if, foreach, function...), an argument line not indented past its
# command. awk -f scripts/cmake-layout.awk FILE...
function fail(why) { printf "%s:%d: %s\n", FILENAME, FNR, why; bad = 1 }
FNR == 1 { depth = 0; open = 0; indent = 0; quoted = 0 }
{
    line = $0
    if (line ~ /\t/) fail("tab")
    if (line ~ /[ ]+$/) fail("trailing blanks")
    match(line, /^ */); lead = RLENGTH
    body = substr(line, lead + 1)
    if (body == "" && !quoted) next
    if (quoted) {
        # Inside a string that goes on over lines: its text is its own.
    } else if (open == 0) {
        if (body ~ /^#/) {
            if (body !~ /^#( |$|\[\[|\]\])/) fail("a comment starts with \"# \"")
            if (lead != 4 * depth && lead != 4 * (depth - 1)) fail("comment indented " lead ", not " 4 * depth)
            next
        }
        word = tolower(body); sub(/[ (].*/, "", word)
        if (word ~ /^(endif|endforeach|endwhile|endfunction|endmacro|endblock)$/) depth--
        want = 4 * depth
        if (word ~ /^(else|elseif)$/) want -= 4
        if (lead != want) fail("\"" word "\" indented " lead ", not " want)
        if (word ~ /^(if|foreach|while|function|macro|block)$/) depth++
        indent = lead
    } else if (body !~ /^\)/ && lead <= indent) {
        pending = 1
    }
    # Parentheses outside quotes and comments; a string may go on over lines.
    for (i = 1; i <= length(body); i++) {
        c = substr(body, i, 1)
        if (c == "\\") { i++; continue }
        if (c == "\"") quoted = !quoted
        else if (!quoted && c == "#") break
        else if (!quoted && c == "(") open++
        else if (!quoted && c == ")") open--
    }
    # A string that goes on over lines may start at the margin.
    if (pending && !(body ~ /^"/ && quoted)) fail("argument line not indented past its command")
    pending = 0
}
END { exit bad }
