.pragma library

// A plain array of a list from C++ (a sequence is not spread by concat()).
function array(list) {
    var out = []
    for (var i = 0; i < list.length; ++i)
        out.push(String(list[i]))
    return out
}

// Brings a ListModel to `rows` (objects with the key role) with the fewest changes: rows
// that stay keep their delegates, so a list does not flicker or lose its place when the
// group table changes under it.
function sync(model, rows, key) {
    var wanted = {}
    for (var r = 0; r < rows.length; ++r)
        wanted[rows[r][key]] = true
    for (var i = model.count - 1; i >= 0; --i) {
        if (!wanted[model.get(i)[key]])
            model.remove(i)
    }
    for (var j = 0; j < rows.length; ++j) {
        var found = -1
        for (var k = j; k < model.count; ++k) {
            if (model.get(k)[key] === rows[j][key]) {
                found = k
                break
            }
        }
        if (found < 0) {
            model.insert(j, rows[j])
            continue
        }
        if (found !== j)
            model.move(found, j, 1)
        var current = model.get(j)
        for (var role in rows[j]) {
            if (current[role] !== rows[j][role])
                model.setProperty(j, role, rows[j][role])
        }
    }
}
